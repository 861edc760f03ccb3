// The console's requests to end the program. Wine gives a program a console
// only on a terminal: ctest runs this one through `script`.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/senales.h"

using namespace autorep;

namespace {

// Ctrl-C reaches the program as SIGINT does on Linux, and the program goes on
// (Windows would end it if the handler said no). Wine cannot send Ctrl-Break
// to a console's processes.
TEST(ConsolaReal, CtrlCLlegaComoSigint) {
    std::atomic<int> recibida{0};
    plataforma::atenderSenalesDeTerminacion([&](int senal) { recibida = senal; });
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    for (int i = 0; i < 100 && recibida == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(recibida, SIGINT);
}

}  // namespace
