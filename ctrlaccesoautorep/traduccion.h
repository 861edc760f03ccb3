#pragma once
#include <string>

namespace autorep::acceso {

// The text between the first and the second double quote of the message;
// empty when it holds fewer than two.
std::string parteCitada(const std::string& mensaje);

// The Spanish message shown for an error's message text: three well-known
// server texts, tested in order by case-sensitive substring search, and a
// fixed lead-in for every other message.
std::string traducirMensaje(const std::string& mensaje);

}  // namespace autorep::acceso
