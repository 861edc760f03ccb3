#pragma once
// Throwaway Firebird databases for tests and benches. These helpers write
// (the program itself never does): they create databases and fill them.
#include <filesystem>
#include <string>
#include <vector>

namespace autorep::prueba {

// A fresh folder under the system's temporary folder, removed at the end.
// Readable by the Firebird server's own user, so a loopback server can open
// the databases made in it.
class DirectorioTemporal {
public:
    DirectorioTemporal();
    ~DirectorioTemporal();
    DirectorioTemporal(const DirectorioTemporal&) = delete;
    DirectorioTemporal& operator=(const DirectorioTemporal&) = delete;
    const std::filesystem::path& ruta() const { return ruta_; }
    std::string str() const { return ruta_.string(); }

private:
    std::filesystem::path ruta_;
};

// The statements of a script, split at semicolons outside quotes; "--"
// comments are dropped.
std::vector<std::string> sentenciasDeScript(const std::string& script);
std::string leerArchivo(const std::filesystem::path& ruta);

// The schema scripts of the general and of a company database.
std::string esquemaGeneral();
std::string esquemaCompania();

// Creates the database file (and its folders) and runs the DDL, each
// statement committed on its own.
void crearBase(const std::string& ruta, const std::string& ddl);
// Runs statements in one write transaction on an existing database.
void ejecutar(const std::string& ruta, const std::vector<std::string>& sentencias);
// Runs statements on an existing database, each committed on its own: DDL
// whose objects the next statements use.
void ejecutarConfirmando(const std::string& ruta, const std::vector<std::string>& sentencias);

// The origin layout of a server folder: <dir>/datos/general.fdb and
// <dir>/datos/<code>/quorix.fdb.
std::string crearGeneral(const std::string& servidor);
std::string crearCompania(const std::string& servidor, const std::string& codigo);

}  // namespace autorep::prueba
