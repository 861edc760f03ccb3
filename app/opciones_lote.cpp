#include "app/opciones_lote.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/cp1252.h"
#include "platform/sistema.h"

namespace autorep::app {

namespace {

[[noreturn]] void fallar(const std::string& utf8) { throw ErrorOpciones(plataforma::ansi(utf8)); }

plataforma::Fecha leerFecha(const std::string& opcion, const std::string& texto) {
    plataforma::Fecha f;
    int anio = 0;
    unsigned mes = 0, dia = 0;
    char resto = 0;
    if (texto.size() != 10 || std::sscanf(texto.c_str(), "%4d-%2u-%2u%c", &anio, &mes, &dia, &resto) != 3 ||
        texto[4] != '-' || texto[7] != '-')
        fallar("La opción " + opcion + " espera una fecha AAAA-MM-DD: \"" + texto + "\".");
    f = {anio, mes, dia};
    if (!plataforma::fechaValida(f)) fallar("La opción " + opcion + " tiene una fecha que no existe: \"" + texto + "\".");
    return f;
}

bool esEntero(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t cifras = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    const std::size_t n = i - cifras;
    while (i < s.size() && s[i] == ' ') ++i;
    return n > 0 && n <= 18 && i == s.size();
}

}  // namespace

OpcionesLote leerOpcionesLote(const std::vector<std::string>& args, const plataforma::Fecha& hoy) {
    static const std::vector<std::string> conValor = {"origen",  "usuario",   "clave",           "compania",
                                                      "destino", "usuario-destino", "clave-destino", "compania-destino",
                                                      "tipo",    "desde",     "hasta",           "directorio",
                                                      "espera-reporte"};
    std::map<std::string, std::string> valores;
    OpcionesLote o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--ayuda") {
            o.ayuda = true;
            continue;
        }
        if (a == "--version") {
            o.version = true;
            continue;
        }
        if (a == "--fila-a-fila") {
            o.filaAFila = true;
            continue;
        }
        if (a == "--estadisticas") {
            o.estadisticas = true;
            continue;
        }
        if (a.rfind("--", 0) != 0 || a.size() == 2) fallar("Argumento no reconocido: \"" + a + "\". Use --ayuda.");
        const auto igual = a.find('=');
        const std::string nombre = a.substr(2, igual == std::string::npos ? std::string::npos : igual - 2);
        bool conocida = false;
        for (const auto& c : conValor) conocida = conocida || c == nombre;
        if (!conocida) fallar("Opción desconocida: --" + nombre + ". Use --ayuda.");
        if (valores.contains(nombre)) fallar("La opción --" + nombre + " aparece más de una vez.");
        if (igual != std::string::npos) {
            valores[nombre] = a.substr(igual + 1);
        } else {
            if (i + 1 >= args.size()) fallar("A la opción --" + nombre + " le falta su valor.");
            valores[nombre] = args[++i];
        }
    }
    if (o.ayuda || o.version) return o;

    auto tomar = [&](const char* nombre, bool requerida) -> std::string {
        const auto it = valores.find(nombre);
        if (it != valores.end()) {
            if (requerida && it->second.empty()) fallar(std::string("La opción --") + nombre + " no puede estar vacía.");
            return it->second;
        }
        if (requerida) fallar(std::string("Falta la opción obligatoria --") + nombre + ".");
        return {};
    };
    auto entorno = [](const char* variable) { return plataforma::variableEntorno(variable); };
    o.origen = tomar("origen", true);
    o.usuario = tomar("usuario", true);
    o.compania = tomar("compania", true);
    o.destino = tomar("destino", true);
    o.clave = valores.contains("clave") ? valores["clave"] : entorno("AUTOREP_CLAVE");
    o.usuarioDestino = valores.contains("usuario-destino") ? valores["usuario-destino"] : o.usuario;
    o.claveDestino = valores.contains("clave-destino")              ? valores["clave-destino"]
                     : plataforma::hayVariableEntorno("AUTOREP_CLAVE_DESTINO") ? entorno("AUTOREP_CLAVE_DESTINO")
                                                                       : o.clave;
    o.companiaDestino = valores.contains("compania-destino") ? valores["compania-destino"] : o.compania;
    if (valores.contains("tipo")) {
        o.tipo = valores["tipo"];
        if (!esEntero(o.tipo)) fallar("La opción --tipo espera un número entero: \"" + o.tipo + "\".");
    }
    o.desde = valores.contains("desde") ? leerFecha("--desde", valores["desde"]) : plataforma::Fecha{hoy.anio, hoy.mes, 1};
    o.hasta = valores.contains("hasta") ? leerFecha("--hasta", valores["hasta"])
                                        : plataforma::Fecha{hoy.anio, hoy.mes, plataforma::diasDelMes(hoy.anio, hoy.mes)};
    if (valores.contains("espera-reporte")) {
        const std::string& s = valores["espera-reporte"];
        if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos)
            fallar("La opción --espera-reporte espera un número de segundos: \"" + s + "\".");
        o.esperaReporte = std::stoi(s);
    }
    if (valores.contains("directorio")) {
        o.directorio = valores["directorio"];
        if (o.directorio->empty()) fallar("La opción --directorio no puede estar vacía.");
    }
    return o;
}

std::string ayudaLote() {
    return plataforma::ansi(R"(Uso: autorep-lote --origen SERVIDOR --usuario USUARIO --compania CODIGO --destino SERVIDOR [opciones]

Compara los documentos auditados de un tipo en la base de origen con la réplica
de destino y agrega una línea por documento al reporte comparacion<tipo>.txt
del directorio de la aplicación.

  --origen SERVIDOR          servidor de origen (prefijo de las rutas, tal cual)
  --usuario USUARIO          usuario de origen
  --clave CLAVE              clave de origen (si falta: variable AUTOREP_CLAVE)
  --compania CODIGO          compañía de origen, tal como está en COMPANIA
  --destino SERVIDOR         servidor de destino
  --usuario-destino USUARIO  usuario de destino (por omisión, el de origen)
  --clave-destino CLAVE      clave de destino (si falta: AUTOREP_CLAVE_DESTINO,
                             si no, la de origen)
  --compania-destino CODIGO  compañía de destino (por omisión, la de origen)
  --tipo N                   tipo de documento (por omisión 21)
  --desde AAAA-MM-DD         fecha inicial, incluida (por omisión, el 1 del mes)
  --hasta AAAA-MM-DD         fecha final, incluida (por omisión, el fin del mes)
  --directorio DIR           directorio de la aplicación (por omisión, el del
                             registro)
  --espera-reporte SEGUNDOS  cuánto esperar el reporte si otra corrida lo está
                             escribiendo (por omisión 300)
  --fila-a-fila              busca cada fila por separado, como la referencia
                             (más lento sobre una red)
  --estadisticas             al final, las sentencias ejecutadas (en stderr)
  -h, --ayuda                muestra esta ayuda
  --version                  muestra la versión

Estado de salida: 0 todo igual; 1 hay diferencias o documentos no encontrados;
2 no se pudo completar; 130 interrumpido.
)");
}

}  // namespace autorep::app
