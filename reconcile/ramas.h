#pragma once
#include <cstddef>
#include <functional>
#include <string>

namespace autorep::conciliacion {

// PSQL that runs the statements `rama(j)` gives for the value of the INTEGER
// variable `variable` (0 <= j < n), finding j by halving: a block that runs it
// for every row makes four tests for sixteen places, where a chain of IFs
// makes eight and a half on average.
std::string elegirPorMitades(const std::string& variable, std::size_t n,
                             const std::function<std::string(std::size_t)>& rama);

}  // namespace autorep::conciliacion
