#pragma once
#include <stdexcept>

namespace autorep::bd {

// Any failure of the database layer; the message is the server's whole text.
class ErrorBaseDatos : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace autorep::bd
