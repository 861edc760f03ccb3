#include "db/sql.h"

namespace autorep::bd {

std::string citar(std::string_view texto) {
    std::string r = "'";
    for (char c : texto) {
        r += c;
        if (c == '\'') r += '\'';
    }
    r += '\'';
    return r;
}

}  // namespace autorep::bd
