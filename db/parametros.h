#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace autorep::bd {

// A connection's parameters: an ordered list of "name=value" lines. Names are
// looked up without regard to letter case, first match.
class ListaParametros {
public:
    // Replaces the first line of that name in place, spelled as given here,
    // or appends a new line; an empty value removes the line instead.
    void poner(std::string_view nombre, std::string_view valor);
    std::optional<std::string> valor(std::string_view nombre) const;
    std::string valorOVacio(std::string_view nombre) const { return valor(nombre).value_or(std::string{}); }
    const std::vector<std::string>& lineas() const { return lineas_; }

private:
    std::vector<std::string> lineas_;
};

}  // namespace autorep::bd
