#pragma once
// Windows builds only: the one <sys/ioctl.h> query the program makes, the
// terminal's size, answered from the console screen buffer.

struct winsize {
    unsigned short ws_row;
    unsigned short ws_col;
    unsigned short ws_xpixel;
    unsigned short ws_ypixel;
};

#define TIOCGWINSZ 0x5413

// 0 with the visible window's rows and columns when `descriptor` is a
// console; -1 otherwise.
int ioctl(int descriptor, unsigned long pedido, winsize* tamanio);
