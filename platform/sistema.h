#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The edge between the program's texts, which are Windows-1252 bytes, and
// the operating system's. On Linux file names, command-line arguments, the
// environment and the messages of the C library and of the database engine
// are UTF-8. On Windows the arguments, the environment and the console are
// the ANSI code page (Windows-1252 itself on a Spanish or English Windows,
// where nothing changes), and files are named through the wide (UTF-16) API.
namespace autorep::plataforma {

// A program text (a file name, a database path, a line for the terminal) as
// the system takes it.
std::string aSistema(std::string_view texto);

// A text from the system as program text: valid UTF-8 becomes Windows-1252;
// anything else (already 8-bit text) is kept as it came.
std::string deSistema(std::string_view texto);

// Whether a text from the system survives the way into program text: false
// for letters Windows-1252 lacks (Cyrillic, say), which would become "?" and
// name another folder or another password.
bool representable(std::string_view textoDelSistema);

// An argument or environment variable with a letter Windows-1252 lacks; utf8()
// is that text as the user wrote it, to be named in the message.
class TextoNoRepresentable : public std::runtime_error {
public:
    explicit TextoNoRepresentable(std::string utf8)
        : std::runtime_error("texto no representable en Windows-1252"), utf8_(std::move(utf8)) {}
    const std::string& utf8() const { return utf8_; }

private:
    std::string utf8_;
};

// The program's arguments after its name, as program text. On Windows they are
// read anew from the UTF-16 command line: argv holds the ANSI code page, where
// a letter outside it is already a '?'. Throws TextoNoRepresentable for the
// first argument with a letter Windows-1252 lacks.
std::vector<std::string> argumentosDelPrograma(int argc, char** argv);

// An environment variable as program text (UTF-16 on Windows, likewise);
// nullopt when it is not set. Throws TextoNoRepresentable as above.
std::optional<std::string> variableDeEntorno(const char* nombre);

// A UTF-8 line for standard error: on a Windows console through the wide API,
// so that every letter shows; elsewhere its bytes as they are.
void escribirErrorUtf8(std::string_view linea);

// fopen of a file named in program text. On Windows an absolute name past
// the old 260-character limit is opened as \\?\C:\... (see rutaLarga).
std::FILE* abrirArchivo(std::string_view nombre, const char* modo);

// 64-bit positions, also where long has 32 bits (Windows): a report grows past
// 2 GiB. irAlFinal moves to the end and returns the size, or -1; truncar cuts
// the file to a size.
std::int64_t irAlFinal(std::FILE* archivo);
bool truncar(std::FILE* archivo, std::int64_t tamanio);

// Folders named in program text. crearCarpeta makes one folder and says
// whether it was new; crearCarpetas makes every missing folder of the path.
bool crearCarpeta(std::string_view nombre);
bool crearCarpetas(std::string_view nombre);
bool existe(std::string_view nombre);
// The name made absolute from the current folder.
std::string rutaAbsoluta(std::string_view nombre);
bool carpetaVacia(std::string_view nombre);
// Whether two names reach the same file or folder on the disk (through a
// link, another drive letter or share); false when either cannot be reached.
bool mismoArchivo(std::string_view a, std::string_view b);
// The folder that holds a file or folder: its path without the last name.
std::string carpetaPadre(std::string_view nombre);
// The names of the folders directly inside one, in no particular order;
// false when it cannot be read.
bool carpetasEn(std::string_view nombre, std::vector<std::string>& nombres);
// A folder and everything in it; false, with the reason in `error`, when
// something of it is left.
bool borrarCarpeta(std::string_view nombre, std::string& error);

// Writes a whole file anew; false when it cannot be written whole.
bool escribirArchivo(std::string_view nombre, std::string_view contenido);
// A file that others read (a monitor, a browser) published whole or not at
// all: written under a temporary name in the same folder, flushed to the
// disk, then renamed over the name. False, with the reason in `error` (in
// words), when it could not; the temporary file is then gone.
bool borrarArchivo(std::string_view nombre);
bool publicarArchivo(std::string_view nombre, std::string_view contenido, std::string& error);

// A whole file's bytes; false when it cannot be opened or read.
bool leerArchivo(std::string_view nombre, std::string& contenido);

// Makes the C library's character type UTF-8 on Linux, from the environment
// or else C.UTF-8, as Qt does for the window: the Firebird client and engine
// convert file names after it, and under the plain C locale they refuse every
// accented letter. On Windows it makes the console show the ANSI code page
// and understand the cursor movements of the progress lines. Call it once at
// start.
void usarCaracteresDelSistema();

}  // namespace autorep::plataforma
