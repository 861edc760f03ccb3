#include "tests/apoyo/base_prueba.h"

#include <firebird/Interface.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "db/firebird.h"

namespace autorep::prueba {

namespace fs = std::filesystem;
using namespace Firebird;

DirectorioTemporal::DirectorioTemporal() {
    std::random_device azar;
    ruta_ = fs::temp_directory_path() / ("autorep-prueba-" + std::to_string(azar()) + std::to_string(azar()));
    fs::create_directories(ruta_);
    fs::permissions(ruta_, fs::perms::all);
}

DirectorioTemporal::~DirectorioTemporal() {
    std::error_code ec;
    fs::remove_all(ruta_, ec);
}

std::string leerArchivo(const fs::path& ruta) {
    std::ifstream f(ruta, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string esquemaGeneral() { return leerArchivo(fs::path(AUTOREP_SQL_DIR) / "general.sql"); }
std::string esquemaCompania() { return leerArchivo(fs::path(AUTOREP_SQL_DIR) / "compania.sql"); }

std::vector<std::string> sentenciasDeScript(const std::string& script) {
    std::vector<std::string> r;
    std::string actual;
    bool comillas = false;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char c = script[i];
        if (!comillas && c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
            while (i < script.size() && script[i] != '\n') ++i;
            continue;
        }
        if (c == '\'') comillas = !comillas;
        if (c == ';' && !comillas) {
            if (actual.find_first_not_of(" \r\n\t") != std::string::npos) r.push_back(actual);
            actual.clear();
        } else {
            actual += c;
        }
    }
    if (actual.find_first_not_of(" \r\n\t") != std::string::npos) r.push_back(actual);
    return r;
}

namespace {

// The client the program loads.
IMaster* maestro() { return bd::fb::maestro(); }

std::string texto(const FbException& e) {
    char buf[4096];
    maestro()->getUtilInterface()->formatStatus(buf, sizeof buf, e.getStatus());
    return buf;
}

struct Sesion {
    IStatus* estado = maestro()->getStatus();
    ThrowStatusWrapper st{estado};
    IAttachment* adjunto = nullptr;
    ~Sesion() {
        if (adjunto) {
            try {
                adjunto->detach(&st);
            } catch (...) {
                adjunto->release();
            }
        }
        estado->dispose();
    }
    IXpbBuilder* dpb() {
        IXpbBuilder* b = maestro()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        b->insertString(&st, isc_dpb_user_name, "SYSDBA");
        b->insertInt(&st, isc_dpb_sql_dialect, 3);
        return b;
    }
    void correr(const std::vector<std::string>& sentencias, bool confirmarCadaUna) {
        ITransaction* tr = adjunto->startTransaction(&st, 0, nullptr);
        try {
            for (const auto& s : sentencias) {
                adjunto->execute(&st, tr, 0, s.c_str(), 3, nullptr, nullptr, nullptr, nullptr);
                if (confirmarCadaUna) tr->commitRetaining(&st);
            }
            tr->commit(&st);
        } catch (...) {
            tr->release();
            throw;
        }
    }
};

void permitirAlServidor(const fs::path& ruta) {
    std::error_code ec;
    for (fs::path p = ruta.parent_path(); !p.empty() && p != fs::temp_directory_path() && p != p.root_path();
         p = p.parent_path())
        fs::permissions(p, fs::perms::all, ec);
    fs::permissions(ruta, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write | fs::perms::others_read | fs::perms::others_write,
                    ec);
}

}  // namespace

void crearBase(const std::string& ruta, const std::string& ddl) {
    fs::create_directories(fs::path(ruta).parent_path());
    Sesion s;
    try {
        IXpbBuilder* dpb = s.dpb();
        dpb->insertInt(&s.st, isc_dpb_page_size, 8192);
        IProvider* proveedor = maestro()->getDispatcher();
        s.adjunto = proveedor->createDatabase(&s.st, ruta.c_str(), dpb->getBufferLength(&s.st), dpb->getBuffer(&s.st));
        dpb->dispose();
        proveedor->release();
        s.correr(sentenciasDeScript(ddl), true);
    } catch (const FbException& e) {
        throw std::runtime_error("crearBase " + ruta + ": " + texto(e));
    }
    permitirAlServidor(ruta);
}

namespace {

void ejecutarEn(const std::string& ruta, const std::vector<std::string>& sentencias, bool confirmarCadaUna) {
    Sesion s;
    try {
        IXpbBuilder* dpb = s.dpb();
        IProvider* proveedor = maestro()->getDispatcher();
        s.adjunto = proveedor->attachDatabase(&s.st, ruta.c_str(), dpb->getBufferLength(&s.st), dpb->getBuffer(&s.st));
        dpb->dispose();
        proveedor->release();
        s.correr(sentencias, confirmarCadaUna);
    } catch (const FbException& e) {
        throw std::runtime_error("ejecutar " + ruta + ": " + texto(e));
    }
}

}  // namespace

void ejecutar(const std::string& ruta, const std::vector<std::string>& sentencias) {
    ejecutarEn(ruta, sentencias, false);
}

void ejecutarConfirmando(const std::string& ruta, const std::vector<std::string>& sentencias) {
    ejecutarEn(ruta, sentencias, true);
}

std::string crearGeneral(const std::string& servidor) {
    const std::string ruta = servidor + "/datos/general.fdb";
    crearBase(ruta, esquemaGeneral());
    return ruta;
}

std::string crearCompania(const std::string& servidor, const std::string& codigo) {
    const std::string ruta = servidor + "/datos/" + codigo + "/quorix.fdb";
    crearBase(ruta, esquemaCompania());
    return ruta;
}

}  // namespace autorep::prueba
