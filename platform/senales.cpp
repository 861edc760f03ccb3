#include "platform/senales.h"

#include <csignal>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#endif

namespace autorep::plataforma {

namespace {
std::function<void(int)>& receptor() {
    // Never destroyed: the thread that calls it outlives main.
    static auto* r = new std::function<void(int)>;
    return *r;
}
int tuberia[2] = {-1, -1};
}  // namespace

#ifdef _WIN32
namespace {
BOOL WINAPI alControlDeConsola(DWORD tipo) {
    if (tipo != CTRL_C_EVENT && tipo != CTRL_BREAK_EVENT && tipo != CTRL_CLOSE_EVENT) return FALSE;
    if (receptor()) receptor()(SIGINT);
    return TRUE;
}
}  // namespace

void atenderSenalesDeTerminacion(std::function<void(int)> alLlegar) {
    receptor() = std::move(alLlegar);
    SetConsoleCtrlHandler(alControlDeConsola, TRUE);
}

int descriptorDeSenales() { return -1; }
#else
void atenderSenalesDeTerminacion(std::function<void(int)> alLlegar) {
    receptor() = std::move(alLlegar);
    if (pipe(tuberia) == 0) {
        fcntl(tuberia[0], F_SETFL, O_NONBLOCK);
        fcntl(tuberia[1], F_SETFL, O_NONBLOCK);
    }
    sigset_t senales;
    sigemptyset(&senales);
    sigaddset(&senales, SIGINT);
    sigaddset(&senales, SIGTERM);
    sigaddset(&senales, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &senales, nullptr);
    std::thread([senales] {
        int senal = 0;
        while (sigwait(&senales, &senal) == 0) {
            receptor()(senal);
            const char byte = 1;
            // A full pipe already tells the loop that a signal came.
            if (tuberia[1] >= 0 && write(tuberia[1], &byte, 1) < 0) continue;
        }
    }).detach();
}

int descriptorDeSenales() { return tuberia[0]; }
#endif

}  // namespace autorep::plataforma
