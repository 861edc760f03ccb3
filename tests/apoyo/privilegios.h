#pragma once
// Tests of what happens when a file cannot be opened mean nothing as root,
// whom file permissions do not stop.
#include <functional>
#include <string>

namespace autorep::prueba {

// Runs `cuerpo` as an ordinary user and returns what went wrong: empty when
// the body returned an empty text and threw nothing, else the body's text,
// the exception's message or why the body could not run. As root the body
// runs in a forked child that first drops to the user "nobody", so what it
// touches must be reachable by any user, and gtest assertions made inside it
// are lost: the body reports through its return value. Any other user runs
// it right here. Only for single-threaded test programs.
std::string sinPrivilegios(const std::function<std::string()>& cuerpo);

}  // namespace autorep::prueba
