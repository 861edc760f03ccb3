#include "platform/win32/sys/ioctl.h"

#include <io.h>
#include <windows.h>

int ioctl(int descriptor, unsigned long pedido, winsize* tamanio) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (pedido != TIOCGWINSZ || !GetConsoleScreenBufferInfo(h, &info)) return -1;
    *tamanio = {static_cast<unsigned short>(info.srWindow.Bottom - info.srWindow.Top + 1),
                static_cast<unsigned short>(info.srWindow.Right - info.srWindow.Left + 1), 0, 0};
    return 0;
}
