#pragma once
#include <string>
#include <string_view>

// Shared libraries loaded at run time (LoadLibrary on Windows, dlopen on
// Linux) and kept until the program ends.
namespace autorep::plataforma {

// The library `nombre`: a bare name is looked for where the system looks for
// libraries, a path names the file (and on Windows its folder is searched for
// the libraries it needs). nullptr when it cannot be loaded, with the
// system's reason in `motivo`, as program text.
void* cargarBiblioteca(std::string_view nombre, std::string& motivo);

// A function of a loaded library, or nullptr.
void* buscarFuncion(void* biblioteca, const char* nombre);

}  // namespace autorep::plataforma
