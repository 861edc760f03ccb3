#include "platform/registro.h"

#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/cp1252.h"
#include "platform/sistema.h"
#include "platform/texto.h"

namespace autorep::plataforma {

std::string leerCadena(const Registro& registro, RaizRegistro raiz, std::string_view ruta,
                       std::string_view nombre) {
    const auto valor = registro.leerValor(raiz, ruta, nombre);
    if (!valor) return {};
    if (valor->tipo == ValorRegistro::Tipo::Otro)
        throw std::runtime_error("Invalid data type for '" + std::string(nombre) + "'");
    const auto nul = valor->datos.find('\0');
    return nul == std::string::npos ? valor->datos : valor->datos.substr(0, nul);
}

namespace {

std::string nombreRaiz(RaizRegistro raiz) {
    return raiz == RaizRegistro::LocalMachine ? "hkey_local_machine" : "hkey_current_user";
}

std::string claveCompleta(RaizRegistro raiz, std::string_view ruta) {
    while (!ruta.empty() && ruta.front() == '\\') ruta.remove_prefix(1);
    while (!ruta.empty() && ruta.back() == '\\') ruta.remove_suffix(1);
    return nombreRaiz(raiz) + "\\" + minusculasAscii(ruta);
}

// Root names as regedit writes them, and their short forms.
std::string normalizarClaveDeArchivo(std::string_view clave) {
    std::string c = minusculasAscii(clave);
    while (!c.empty() && c.back() == '\\') c.pop_back();
    const auto barra = c.find('\\');
    std::string raiz = c.substr(0, barra);
    if (raiz == "hklm") raiz = "hkey_local_machine";
    if (raiz == "hkcu") raiz = "hkey_current_user";
    return barra == std::string::npos ? raiz : raiz + c.substr(barra);
}

void agregarUtf16(std::string& utf8, std::string_view bytes, std::size_t& i) {
    // One UTF-16LE unit (or surrogate pair) starting at i.
    char32_t u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    i += 2;
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < bytes.size()) {
        const char32_t v = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (v >= 0xDC00 && v < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
            i += 2;
        }
    }
    agregarUtf8(utf8, u);
}

std::string utf16AUtf8(std::string_view bytes) {
    std::string r;
    for (std::size_t i = 0; i + 1 < bytes.size();) agregarUtf16(r, bytes, i);
    return r;
}

}  // namespace

class LectorReg {
public:
    LectorReg(RegistroArchivo& destino, std::string nombre) : destino_(destino), nombre_(std::move(nombre)) {}

    void leer(std::string_view contenido) {
        std::string texto;
        if (contenido.size() >= 2 && static_cast<unsigned char>(contenido[0]) == 0xFF &&
            static_cast<unsigned char>(contenido[1]) == 0xFE) {
            if (contenido.size() % 2 != 0) fallar(0, "el texto UTF-16 termina a mitad de un carácter");
            texto = utf16AUtf8(contenido.substr(2));
            unicode_ = true;
        } else if (contenido.size() >= 3 && contenido.substr(0, 3) == "\xEF\xBB\xBF") {
            texto = std::string(contenido.substr(3));
            unicode_ = true;
        } else {
            texto = std::string(contenido);
        }

        std::vector<std::string> lineas;
        {
            std::string actual;
            for (char c : texto) {
                if (c == '\n') {
                    if (!actual.empty() && actual.back() == '\r') actual.pop_back();
                    lineas.push_back(std::move(actual));
                    actual.clear();
                } else {
                    actual += c;
                }
            }
            if (!actual.empty()) {
                if (actual.back() == '\r') actual.pop_back();
                lineas.push_back(std::move(actual));
            }
        }

        std::size_t n = 0;
        while (n < lineas.size() && recortar(lineas[n]).empty()) ++n;
        if (n == lineas.size()) fallar(0, "el archivo no tiene encabezado de regedit");
        const std::string encabezado(recortar(lineas[n]));
        if (encabezado == "Windows Registry Editor Version 5.00") {
            unicode_ = true;
        } else if (encabezado == "REGEDIT4") {
            if (unicode_) fallar(n + 1, "un archivo REGEDIT4 no lleva marca Unicode");
        } else {
            fallar(n + 1, "encabezado desconocido (se espera REGEDIT4 o Windows Registry Editor Version 5.00)");
        }

        for (std::size_t i = n + 1; i < lineas.size(); ++i) {
            const std::size_t numero = i + 1;
            std::string linea(recortarIzquierda(lineas[i]));
            // A value written over several lines ends each one with a backslash.
            while (!linea.empty() && linea.back() == '\\' && linea.find('=') != std::string::npos &&
                   esHexadecimal(linea) && i + 1 < lineas.size()) {
                linea.pop_back();
                linea += recortarIzquierda(lineas[++i]);
            }
            procesarLinea(recortarDerecha(linea), numero);
        }
    }

private:
    static std::string_view recortarIzquierda(std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        return s;
    }
    static std::string_view recortarDerecha(std::string_view s) {
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        return s;
    }
    static std::string_view recortar(std::string_view s) { return recortarDerecha(recortarIzquierda(s)); }

    static bool esHexadecimal(std::string_view linea) {
        const auto igual = linea.find("=hex");
        return igual != std::string_view::npos;
    }

    [[noreturn]] void fallar(std::size_t linea, const std::string& motivo) const {
        std::string m = ansi("Archivo de registro ") + nombre_;
        if (linea > 0) m += ansi(", línea ") + std::to_string(linea);
        throw ErrorRegistro(m + ": " + ansi(motivo));
    }

    std::string aTextoPrograma(std::string_view s) const { return unicode_ ? utf8ACp1252(s) : std::string(s); }

    void procesarLinea(std::string_view linea, std::size_t numero) {
        if (linea.empty() || linea.front() == ';') return;
        if (linea.front() == '[') {
            if (linea.back() != ']') fallar(numero, "falta el corchete de cierre de la clave");
            std::string_view clave = linea.substr(1, linea.size() - 2);
            enClave_ = true;
            if (!clave.empty() && clave.front() == '-') {
                borrarArbol(normalizarClaveDeArchivo(aTextoPrograma(clave.substr(1))));
                claveActual_ = nullptr;  // a deleted key holds nothing
                return;
            }
            if (recortar(clave).empty()) fallar(numero, "nombre de clave vacío");
            claveActual_ = &crearClave(normalizarClaveDeArchivo(aTextoPrograma(clave)));
            return;
        }
        std::string nombre;
        std::size_t pos = 0;
        if (linea.front() == '@') {
            pos = 1;
        } else if (linea.front() == '"') {
            pos = 1;
            if (!leerCadenaEntreComillas(linea, pos, nombre)) fallar(numero, "nombre de valor sin comilla de cierre");
        } else {
            fallar(numero, "línea no reconocida");
        }
        while (pos < linea.size() && linea[pos] == ' ') ++pos;
        if (pos >= linea.size() || linea[pos] != '=') fallar(numero, "falta el signo \"=\" tras el nombre del valor");
        ++pos;
        while (pos < linea.size() && linea[pos] == ' ') ++pos;
        if (!enClave_) fallar(numero, "valor fuera de una clave");
        std::string_view resto = linea.substr(pos);
        if (resto == "-") {
            if (claveActual_) claveActual_->erase(minusculasAscii(aTextoPrograma(nombre)));
            return;
        }
        ValorRegistro valor = leerDato(resto, numero);
        if (claveActual_) (*claveActual_)[minusculasAscii(aTextoPrograma(nombre))] = std::move(valor);
    }

    // The file is read as Windows imports it: a key comes with every parent
    // it lacks, and a deletion takes the key's whole subtree away.
    std::map<std::string, ValorRegistro>& crearClave(const std::string& ruta) {
        for (auto barra = ruta.find('\\'); barra != std::string::npos; barra = ruta.find('\\', barra + 1))
            destino_.claves_.try_emplace(ruta.substr(0, barra));
        return destino_.claves_[ruta];
    }

    void borrarArbol(const std::string& ruta) {
        auto& claves = destino_.claves_;
        claves.erase(ruta);
        const std::string prefijo = ruta + '\\';
        for (auto i = claves.lower_bound(prefijo); i != claves.end() && i->first.starts_with(prefijo);)
            i = claves.erase(i);
    }

    // Reads a quoted text from just after its opening quote; \\ and \" are escapes.
    static bool leerCadenaEntreComillas(std::string_view s, std::size_t& pos, std::string& salida) {
        while (pos < s.size()) {
            const char c = s[pos++];
            if (c == '"') return true;
            if (c == '\\' && pos < s.size() && (s[pos] == '\\' || s[pos] == '"')) {
                salida += s[pos++];
            } else {
                salida += c;
            }
        }
        return false;
    }

    ValorRegistro leerDato(std::string_view dato, std::size_t numero) const {
        ValorRegistro v;
        if (!dato.empty() && dato.front() == '"') {
            std::size_t pos = 1;
            std::string texto;
            if (!leerCadenaEntreComillas(dato, pos, texto)) fallar(numero, "cadena sin comilla de cierre");
            if (!recortar(dato.substr(pos)).empty()) fallar(numero, "texto sobrante tras la cadena");
            v.tipo = ValorRegistro::Tipo::Cadena;
            v.datos = aTextoPrograma(texto);
            return v;
        }
        if (dato.starts_with("dword:")) {
            const auto cifras = dato.substr(6);
            if (cifras.size() != 8 || cifras.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
                fallar(numero, "valor dword mal formado");
            v.tipo = ValorRegistro::Tipo::Otro;
            v.datos = std::string(cifras);
            return v;
        }
        int tipoHex = -1;
        std::string_view bytesHex;
        if (dato.starts_with("hex:")) {
            tipoHex = 3;
            bytesHex = dato.substr(4);
        } else if (dato.starts_with("hex(")) {
            const auto cierre = dato.find("):");
            if (cierre == std::string_view::npos || cierre == 4) fallar(numero, "tipo hex(...) mal formado");
            const auto tipo = dato.substr(4, cierre - 4);
            if (tipo.size() > 8 || tipo.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
                fallar(numero, "tipo hex(...) mal formado");
            tipoHex = static_cast<int>(std::stoul(std::string(tipo), nullptr, 16));
            bytesHex = dato.substr(cierre + 2);
        } else {
            fallar(numero, "tipo de dato no reconocido");
        }
        const std::string bytes = leerBytesHex(bytesHex, numero);
        // regedit writes a REG_SZ as hex(1) when its text holds a NUL; both
        // string types read up to their first NUL, as Windows returns them.
        if (tipoHex == 1 || tipoHex == 2) {
            v.tipo = tipoHex == 1 ? ValorRegistro::Tipo::Cadena : ValorRegistro::Tipo::CadenaExpandible;
            v.datos = textoDeBytes(bytes);
        } else {
            v.tipo = ValorRegistro::Tipo::Otro;
            v.datos = bytes;
        }
        return v;
    }

    // The text of a string value's bytes: UTF-16LE in a version 5 file, ANSI
    // in a REGEDIT4 one.
    std::string textoDeBytes(const std::string& bytes) const {
        if (!unicode_) return bytes.substr(0, bytes.find('\0'));
        std::string utf16;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            if (bytes[i] == '\0' && bytes[i + 1] == '\0') break;
            utf16 += bytes[i];
            utf16 += bytes[i + 1];
        }
        return utf8ACp1252(utf16AUtf8(utf16));
    }

    std::string leerBytesHex(std::string_view s, std::size_t numero) const {
        std::string r;
        if (recortar(s).empty()) return r;
        std::size_t pos = 0;
        while (true) {
            while (pos < s.size() && s[pos] == ' ') ++pos;
            if (pos + 2 > s.size() || !std::isxdigit(static_cast<unsigned char>(s[pos])) ||
                !std::isxdigit(static_cast<unsigned char>(s[pos + 1])))
                fallar(numero, "lista de bytes hexadecimales mal formada");
            r += static_cast<char>(std::stoi(std::string(s.substr(pos, 2)), nullptr, 16));
            pos += 2;
            while (pos < s.size() && s[pos] == ' ') ++pos;
            if (pos == s.size()) break;
            if (s[pos] != ',') fallar(numero, "lista de bytes hexadecimales mal formada");
            ++pos;
        }
        return r;
    }

    RegistroArchivo& destino_;
    std::string nombre_;
    bool unicode_ = false;
    bool enClave_ = false;
    std::map<std::string, ValorRegistro>* claveActual_ = nullptr;
};

RegistroArchivo RegistroArchivo::desdeTexto(std::string_view contenido, const std::string& nombre) {
    RegistroArchivo r;
    LectorReg(r, nombre).leer(contenido);
    return r;
}

RegistroArchivo RegistroArchivo::cargar(const std::string& ruta) {
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> archivo(abrirArchivo(ruta, "rb"), &std::fclose);
    if (!archivo) return RegistroArchivo{};
    std::string contenido;
    char trozo[65536];
    std::size_t n;
    while ((n = std::fread(trozo, 1, sizeof trozo, archivo.get())) > 0) contenido.append(trozo, n);
    if (std::ferror(archivo.get())) throw ErrorRegistro(ansi("No se pudo leer el archivo de registro ") + ruta);
    return desdeTexto(contenido, ruta);
}

bool RegistroArchivo::existeClave(RaizRegistro raiz, std::string_view ruta) const {
    return claves_.contains(claveCompleta(raiz, ruta));
}

std::optional<ValorRegistro> RegistroArchivo::leerValor(RaizRegistro raiz, std::string_view ruta,
                                                        std::string_view nombre) const {
    const auto clave = claves_.find(claveCompleta(raiz, ruta));
    if (clave == claves_.end()) return std::nullopt;
    const auto valor = clave->second.find(minusculasAscii(nombre));
    if (valor == clave->second.end()) return std::nullopt;
    return valor->second;
}

std::string rutaArchivoRegistro() {
    std::optional<std::string> ruta;
    try {
        ruta = variableDeEntorno("AUTOREP_REGISTRO");
    } catch (const TextoNoRepresentable&) {
        throw ErrorRegistro("La variable AUTOREP_REGISTRO tiene letras que el programa no puede representar (Windows-1252).");
    }
    if (ruta && !ruta->empty()) return *ruta;
#ifdef _WIN32
    return {};
#else
    return "/etc/autorep/registro.reg";
#endif
}

}  // namespace autorep::plataforma
