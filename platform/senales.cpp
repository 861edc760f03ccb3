#include "platform/senales.h"

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <thread>
#endif

namespace autorep::plataforma {

namespace {
std::function<void(int)>& receptor() {
    // Never destroyed: the thread that calls it outlives main.
    static auto* r = new std::function<void(int)>;
    return *r;
}
}  // namespace

#ifdef _WIN32
namespace {
// Windows calls this on a thread of its own. Ctrl-C and Ctrl-Break arrive as
// SIGINT; closing the console, logging off and shutting down as SIGTERM.
BOOL WINAPI alControlDeConsola(DWORD tipo) {
    const bool interrumpir = tipo == CTRL_C_EVENT || tipo == CTRL_BREAK_EVENT;
    if (!interrumpir && tipo != CTRL_CLOSE_EVENT && tipo != CTRL_LOGOFF_EVENT && tipo != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    if (receptor()) receptor()(interrumpir ? SIGINT : SIGTERM);
    // For the last three Windows ends the process as soon as this returns (or
    // a few seconds later at most): never returning lets the run stop on
    // whole lines and the program exit by itself first.
    if (!interrumpir) Sleep(INFINITE);
    return TRUE;
}
}  // namespace

void atenderSenalesDeTerminacion(std::function<void(int)> alLlegar) {
    receptor() = std::move(alLlegar);
    SetConsoleCtrlHandler(alControlDeConsola, TRUE);
}

int descriptorDeSenales() { return -1; }
#else
namespace {
int tuberia[2] = {-1, -1};
}  // namespace

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
