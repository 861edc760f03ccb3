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
    // Windows ends the process when this returns from a closing console: the
    // run gets a few seconds to stop on whole lines and exit by itself first.
    if (tipo == CTRL_CLOSE_EVENT) Sleep(5000);
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
    // A signal the parent left ignored (nohup, a background job of a script)
    // stays ignored; it is blocked all the same, so that no handler of the
    // engine takes it, and a blocked signal is queued even when ignored.
    sigset_t senales, ignoradas;
    sigemptyset(&senales);
    sigemptyset(&ignoradas);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&senales, s);
        struct sigaction actual {};
        if (sigaction(s, nullptr, &actual) == 0 && actual.sa_handler == SIG_IGN) sigaddset(&ignoradas, s);
    }
    pthread_sigmask(SIG_BLOCK, &senales, nullptr);
    std::thread([senales, ignoradas] {
        int senal = 0;
        while (sigwait(&senales, &senal) == 0) {
            if (sigismember(&ignoradas, senal)) continue;
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
