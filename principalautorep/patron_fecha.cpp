#include "principalautorep/patron_fecha.h"

namespace autorep::principal {

std::string patronEditorFecha(const std::string& formato, const std::string& separador) {
    char primera = 'd';
    for (char c : formato) {
        const char m = static_cast<char>(c | 0x20);
        if (m == 'd' || m == 'm' || m == 'y') {
            primera = m;
            break;
        }
    }
    bool anioLargo = false;
    for (std::size_t i = 0, racha = 0; i < formato.size(); ++i) {
        racha = (formato[i] | 0x20) == 'y' ? racha + 1 : 0;
        anioLargo = anioLargo || racha >= 3;
    }
    const std::string anio = anioLargo ? "yyyy" : "yy";
    // Qt reads letters as fields: a separator holding any is quoted.
    std::string sep = separador;
    for (char c : separador)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            sep = "'" + separador + "'";
            break;
        }
    if (primera == 'm') return "MM" + sep + "dd" + sep + anio;
    if (primera == 'y') return anio + sep + "MM" + sep + "dd";
    return "dd" + sep + "MM" + sep + anio;
}

}  // namespace autorep::principal
