#include "lote/opciones_lote.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <string_view>
#include <utility>

#include "platform/cp1252.h"
#include "platform/sistema.h"

namespace autorep::lote {

namespace {

// Messages are written in UTF-8 here and turned into Windows-1252; what the
// user typed (already Windows-1252) goes in through u(), so that it comes out
// as typed.
[[noreturn]] void fallar(const std::string& utf8) { throw ErrorOpciones(plataforma::ansi(utf8)); }
std::string u(const std::string& ansi) { return plataforma::cp1252AUtf8(ansi); }

plataforma::Fecha leerFecha(const std::string& opcion, const std::string& texto) {
    plataforma::Fecha f;
    int anio = 0;
    unsigned mes = 0, dia = 0;
    char resto = 0;
    if (texto.size() != 10 || std::sscanf(texto.c_str(), "%4d-%2u-%2u%c", &anio, &mes, &dia, &resto) != 3 ||
        texto[4] != '-' || texto[7] != '-')
        fallar("La opción " + opcion + " espera una fecha AAAA-MM-DD: \"" + u(texto) + "\".");
    f = {anio, mes, dia};
    if (!plataforma::fechaValida(f)) fallar("La opción " + opcion + " tiene una fecha que no existe: \"" + u(texto) + "\".");
    return f;
}

std::vector<std::string> partirComas(const std::string& s) {
    std::vector<std::string> r;
    std::size_t inicio = 0;
    for (std::size_t coma; (coma = s.find(',', inicio)) != std::string::npos; inicio = coma + 1)
        r.push_back(s.substr(inicio, coma - inicio));
    r.push_back(s.substr(inicio));
    return r;
}

unsigned leerNatural(const std::string& opcion, const std::string& s, unsigned minimo, unsigned maximo) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(s) < minimo || std::stoul(s) > maximo)
        fallar("La opción " + opcion + " espera un número entero de " + std::to_string(minimo) + " a " +
               std::to_string(maximo) + ": \"" + u(s) + "\".");
    return static_cast<unsigned>(std::stoul(s));
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
                                                      "espera-reporte", "revision", "paralelo", "margen-minutos",
                                                      "tolerancia", "comparar-con", "reverificar",
                                                      "conservar"};
    std::map<std::string, std::string> valores;
    OpcionesLote o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // The options without a value.
        static const std::pair<std::string_view, bool OpcionesLote::*> banderas[] = {
            {"-h", &OpcionesLote::ayuda},
            {"--ayuda", &OpcionesLote::ayuda},
            {"--version", &OpcionesLote::version},
            {"--fila-a-fila", &OpcionesLote::filaAFila},
            {"--estadisticas", &OpcionesLote::estadisticas},
            {"--sin-comparar", &OpcionesLote::sinComparar},
        };
        const auto bandera = std::find_if(std::begin(banderas), std::end(banderas),
                                          [&](const auto& b) { return b.first == a; });
        if (bandera != std::end(banderas)) {
            o.*(bandera->second) = true;
            continue;
        }
        if (a.rfind("--", 0) != 0 || a.size() == 2) fallar("Argumento no reconocido: \"" + u(a) + "\". Use --ayuda.");
        const auto igual = a.find('=');
        const std::string nombre = a.substr(2, igual == std::string::npos ? std::string::npos : igual - 2);
        bool conocida = false;
        for (const auto& c : conValor) conocida = conocida || c == nombre;
        if (!conocida) fallar("Opción desconocida: --" + u(nombre) + ". Use --ayuda.");
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
    auto entorno = [](const char* variable) -> std::optional<std::string> {
        try {
            return plataforma::variableDeEntorno(variable);
        } catch (const plataforma::TextoNoRepresentable&) {
            fallar(std::string("La variable ") + variable + " tiene letras que el programa no puede representar (Windows-1252).");
        }
    };
    if (valores.contains("reverificar")) {
        o.reverificar = valores["reverificar"];
        if (o.reverificar->empty()) fallar("La opción --reverificar no puede estar vacía.");
        // The pairs, the range and the rules are those of the revision checked again.
        for (const char* propia : {"compania", "compania-destino", "tipo", "desde", "hasta", "margen-minutos",
                                   "tolerancia", "comparar-con"})
            if (valores.contains(propia))
                fallar(std::string("La opción --") + propia +
                       " no va con --reverificar: se toma de la revisión que se vuelve a verificar.");
        if (o.sinComparar) fallar("La opción --sin-comparar no va con --reverificar: se compara con esa revisión.");
    }
    if (valores.contains("comparar-con")) {
        o.compararCon = valores["comparar-con"];
        if (o.compararCon->empty()) fallar("La opción --comparar-con no puede estar vacía.");
        if (o.sinComparar) fallar("Las opciones --comparar-con y --sin-comparar se excluyen.");
    }
    const bool reverificando = o.reverificar.has_value();
    o.origen = tomar("origen", !reverificando);
    o.usuario = tomar("usuario", true);
    const std::string compania = reverificando ? std::string("todas") : tomar("compania", true);
    if (compania == "todas") {
        o.todasLasCompanias = true;
    } else {
        for (const auto& c : partirComas(compania)) {
            if (c.empty()) fallar("La opción --compania tiene un código vacío: \"" + u(compania) + "\".");
            if (std::find(o.companias.begin(), o.companias.end(), c) == o.companias.end()) o.companias.push_back(c);
        }
        o.compania = o.companias.front();
    }
    o.destino = tomar("destino", !reverificando);
    o.clave = valores.contains("clave") ? valores["clave"] : entorno("AUTOREP_CLAVE").value_or("");
    o.usuarioDestino = valores.contains("usuario-destino") ? valores["usuario-destino"] : o.usuario;
    o.claveDestino = valores.contains("clave-destino") ? valores["clave-destino"]
                                                       : entorno("AUTOREP_CLAVE_DESTINO").value_or(o.clave);
    o.companiaDestino = o.compania;
    if (valores.contains("compania-destino")) {
        const std::string& d = valores["compania-destino"];
        if (d.find('=') == std::string::npos) {
            if (o.todasLasCompanias || o.companias.size() > 1)
                fallar("Con varias compañías, --compania-destino espera pares ORIGEN=DESTINO: \"" + u(d) + "\".");
            o.companiaDestino = d;
            o.destinos[o.compania] = d;
        } else {
            for (const auto& par : partirComas(d)) {
                const auto igual = par.find('=');
                const std::string origen = par.substr(0, igual), destino = igual == std::string::npos ? "" : par.substr(igual + 1);
                if (origen.empty() || destino.empty() || destino.find('=') != std::string::npos)
                    fallar("La opción --compania-destino espera pares ORIGEN=DESTINO: \"" + u(par) + "\".");
                if (!o.todasLasCompanias && std::find(o.companias.begin(), o.companias.end(), origen) == o.companias.end())
                    fallar("La compañía \"" + u(origen) + "\" de --compania-destino no está en --compania.");
                if (o.destinos.contains(origen)) fallar("La compañía \"" + u(origen) + "\" aparece dos veces en --compania-destino.");
                o.destinos[origen] = destino;
            }
            if (o.destinos.contains(o.compania)) o.companiaDestino = o.destinos[o.compania];
        }
    }
    if (valores.contains("tipo")) {
        const std::string& tipo = valores["tipo"];
        if (tipo == "todos") {
            o.todosLosTipos = true;
        } else {
            for (const auto& t : partirComas(tipo)) {
                if (!esEntero(t)) fallar("La opción --tipo espera números enteros separados por comas, o todos: \"" + u(tipo) + "\".");
                if (std::find(o.tipos.begin(), o.tipos.end(), t) == o.tipos.end()) o.tipos.push_back(t);
            }
            o.tipo = o.tipos.front();
        }
    } else {
        o.tipos = {o.tipo};
    }
    if (valores.contains("revision")) {
        o.revision = valores["revision"];
        if (o.revision->empty()) fallar("La opción --revision no puede estar vacía.");
    }
    if (valores.contains("paralelo")) o.paralelo = leerNatural("--paralelo", valores["paralelo"], 1, 64);
    if (valores.contains("margen-minutos"))
        o.margenMinutos = static_cast<int>(leerNatural("--margen-minutos", valores["margen-minutos"], 0, 5256000));
    if (valores.contains("tolerancia")) {
        const std::string& t = valores["tolerancia"];
        const auto punto = t.find('.');
        const std::string entera = t.substr(0, punto), fraccion = punto == std::string::npos ? "" : t.substr(punto + 1);
        if (entera.empty() || entera.size() > 18 || fraccion.size() > 18 ||
            (entera + fraccion).find_first_not_of("0123456789") != std::string::npos ||
            (punto != std::string::npos && fraccion.empty()))
            fallar("La opción --tolerancia espera un número decimal no negativo con punto: \"" + u(t) + "\".");
        o.tolerancia = t;
    }
    if (!o.esRevision() && (o.compararCon || o.sinComparar))
        fallar("Las opciones --comparar-con y --sin-comparar son de una revisión (varias compañías o tipos, o "
               "--revision).");
    if (!o.esRevision() && (o.margenMinutos != 0 || valores.contains("tolerancia") || o.paralelo != 0))
        fallar("Las opciones --margen-minutos, --tolerancia y --paralelo son de una revisión (varias compañías o "
               "tipos, o --revision).");
    if (valores.contains("conservar")) {
        o.conservar = leerNatural("--conservar", valores["conservar"], 1, 100000);
        if (!o.esRevision())
            fallar("La opción --conservar es de una revisión (varias compañías o tipos, o --revision).");
    }
    o.desde = valores.contains("desde") ? leerFecha("--desde", valores["desde"]) : plataforma::Fecha{hoy.anio, hoy.mes, 1};
    o.hasta = valores.contains("hasta") ? leerFecha("--hasta", valores["hasta"])
                                        : plataforma::Fecha{hoy.anio, hoy.mes, plataforma::diasDelMes(hoy.anio, hoy.mes)};
    if (o.hasta < o.desde)
        fallar("La fecha de --desde es posterior a la de --hasta: no habría nada que revisar.");
    if (valores.contains("espera-reporte")) {
        const std::string& s = valores["espera-reporte"];
        if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos)
            fallar("La opción --espera-reporte espera un número de segundos: \"" + u(s) + "\".");
        o.esperaReporte = std::stoi(s);
    }
    if (valores.contains("directorio")) {
        o.directorio = valores["directorio"];
        if (o.directorio->empty()) fallar("La opción --directorio no puede estar vacía.");
    }
    return o;
}

bool OpcionesLote::esRevision() const {
    return revision || reverificar || todasLasCompanias || todosLosTipos || companias.size() > 1 || tipos.size() > 1;
}

std::string ayudaLote() {
    return plataforma::ansi(R"(Uso: autorep-lote --origen SERVIDOR --usuario USUARIO --compania CODIGO --destino SERVIDOR [opciones]

Compara los documentos auditados de un tipo en la base de origen con la réplica
de destino y agrega una línea por documento al reporte comparacion<tipo>.txt
del directorio de la aplicación.

Con varias compañías o tipos (listas separadas por comas, todas, todos) o con
--revision, revisa cada par (compañía, tipo) y escribe una carpeta de revisión
con un reporte por par, resumen.json y resumen.html.

  --origen SERVIDOR          servidor de origen (prefijo de las rutas, tal cual)
  --usuario USUARIO          usuario de origen
  --clave CLAVE              clave de origen (si falta: variable AUTOREP_CLAVE)
  --compania CODIGO          compañía de origen, tal como está en COMPANIA; o una
                             lista (001,002), o todas
  --destino SERVIDOR         servidor de destino
  --usuario-destino USUARIO  usuario de destino (por omisión, el de origen)
  --clave-destino CLAVE      clave de destino (si falta: AUTOREP_CLAVE_DESTINO,
                             si no, la de origen)
  --compania-destino CODIGO  compañía de destino (por omisión, la de origen); con
                             varias compañías, pares ORIGEN=DESTINO,...
  --tipo N                   tipo de documento (por omisión 21); o una lista
                             (21,31,1), o todos (los once con regla)
  --desde AAAA-MM-DD         fecha inicial, incluida (por omisión, el 1 del mes)
  --hasta AAAA-MM-DD         fecha final, incluida (por omisión, el fin del mes)
  --directorio DIR           directorio de la aplicación (por omisión, el del
                             registro)
  --espera-reporte SEGUNDOS  cuánto esperar el reporte si otra corrida lo está
                             escribiendo (por omisión 300)
  --revision DIR             carpeta de la revisión (por omisión
                             <directorio>/revisiones/AAAAMMDD-HHMMSS); debe
                             estar vacía o no existir
  --comparar-con DIR         revisión anterior con la que comparar los hallazgos
                             (por omisión, la última de la misma carpeta con
                             los mismos servidores)
  --sin-comparar             no compara con ninguna revisión anterior
  --reverificar DIR          vuelve a verificar solo los hallazgos de la revisión
                             DIR (servidores, pares y rango de esa revisión;
                             --origen y --destino, si se dan, los reemplazan) y
                             escribe una revisión nueva; sale con 0 si no queda
                             ninguno, 1 si quedan, 2 si alguno no se pudo
                             volver a verificar
  --paralelo N               compañías revisadas a la vez (por omisión, una por
                             núcleo)
  --margen-minutos N         lo no encontrado, y las modificaciones con otro
                             importe, auditado en los N minutos antes del
                             inicio (reloj del servidor de origen) cuenta como
                             pendiente (por omisión 0)
  --tolerancia X             importes que difieren a lo sumo X cuentan como
                             iguales en el resumen (por omisión 0)
  --conservar N              tras la revisión, borra las revisiones más antiguas
                             de su carpeta más allá de las N más recientes
                             (nunca la nueva ni la comparada; por omisión,
                             conserva todas)
  --fila-a-fila              busca cada fila por separado, como la referencia
                             (más lento sobre una red)
  --estadisticas             al final, las sentencias ejecutadas (en stderr)
  -h, --ayuda                muestra esta ayuda
  --version                  muestra la versión

Estado de salida: 0 todo igual; 1 hay diferencias o documentos no encontrados
(o duplicados); 2 no se pudo completar (un par de la revisión), o no había nada
que revisar; 3 no hubo ninguna fila de auditoría en el rango (no se comparó
nada); 130 interrumpido.
)");
}

}  // namespace autorep::lote
