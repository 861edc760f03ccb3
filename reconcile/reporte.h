#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace autorep::conciliacion {

// The report file could not be created, opened, written or closed.
class ErrorReporte : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The comparison report of one document type: directory + "\comparacion" +
// the type code as typed + ".txt". Opened for appending once per run (created
// when absent, never truncated). A run writes only while it holds the report's
// exclusive lock, from opening to closing, so that two runs of one type (the
// window and a scheduled batch) never mix their lines. Lines are gathered and
// go to the disk together, at least every tenth of a second and always when
// the report is closed (also by a run cut short, so it keeps every line before
// the fault); a line that cannot be written whole is taken back, and the
// failure is raised by that write or by the close. Unlike the
// logs, the report is the product: any failure raises ErrorReporte naming
// the file.
class Reporte {
public:
    static std::string nombreArchivo(const std::string& directorio, const std::string& tipo);

    // Opens the file and tries its lock once.
    explicit Reporte(std::string ruta);
    ~Reporte();
    Reporte(const Reporte&) = delete;
    Reporte& operator=(const Reporte&) = delete;

    // Tries the lock again, without waiting; true once it is held.
    bool bloquear();
    bool bloqueado() const { return bloqueado_; }

    // Fields separated by single commas, ended by CR LF; nothing is quoted.
    void escribirLinea(std::initializer_list<std::string_view> campos);
    void cerrar();

    const std::string& ruta() const { return ruta_; }
    std::size_t lineas() const { return lineas_; }
    // The lines that reached the file; after a failed write, fewer than lineas().
    std::size_t lineasEscritas() const { return escritas_; }

private:
    [[noreturn]] void fallar(const char* accion, int error);
    void vaciar(std::chrono::steady_clock::time_point ahora);
    std::string ruta_;
    std::FILE* f_ = nullptr;
    std::size_t lineas_ = 0;
    std::size_t escritas_ = 0;
    bool bloqueado_ = false;
    std::int64_t tamanio_ = 0;  // the file's size after the last whole line
    std::string pendiente_;  // lines not yet written
    std::vector<std::size_t> finesDeLinea_;  // where each of them ends
    std::chrono::steady_clock::time_point vaciado_{};
};

}  // namespace autorep::conciliacion
