#pragma once
#include <string>
#include <string_view>

namespace autorep::bd {

// A text as an SQL literal: in single quotes, each quote inside doubled. The
// program builds its statements by concatenation; every text value goes
// through here.
std::string citar(std::string_view texto);

}  // namespace autorep::bd
