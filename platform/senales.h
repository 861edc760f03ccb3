#pragma once
#include <functional>

namespace autorep::plataforma {

// The requests to end the program: Ctrl-C (SIGINT), SIGTERM and SIGHUP. Call
// this first thing in main, before any thread starts: the signals are then
// blocked in every thread, the Firebird engine's included (which would
// otherwise take them and shut its connections in the middle of a lookup), and
// a thread of ours takes each one and hands it to `alLlegar`, on that thread.
// On Windows the console's Ctrl-C and Ctrl-Break arrive the same way, as
// SIGINT, and its closing, a log-off or a shutdown as SIGTERM; a closing
// console waits for the program to end by itself.
void atenderSenalesDeTerminacion(std::function<void(int senal)> alLlegar);

// The reading end of a pipe that receives one byte for each signal taken, so
// that an event loop can watch for them; -1 before the call above, and on
// Windows.
int descriptorDeSenales();

}  // namespace autorep::plataforma
