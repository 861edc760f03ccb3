#pragma once
#include <string>

namespace autorep::principal {

// The input pattern of the date editors, in Qt's notation: the field order
// follows the first of d, m, y (either case) in the regional short date
// format (month first for m, year first for y, day first for d or none), the
// year takes four digits when the format has three or more y's in a row, and
// the regional date separator stands between the fields.
std::string patronEditorFecha(const std::string& fechaCorta, const std::string& separador);

}  // namespace autorep::principal
