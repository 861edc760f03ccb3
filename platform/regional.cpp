#include "platform/regional.h"

#include <clocale>
#include <cstdio>
#include <optional>

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/ancho.h"
#else
#include <langinfo.h>
#endif

namespace autorep::plataforma {

namespace {

std::string conCeros(unsigned valor, int ancho) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*u", ancho, valor);
    return buf;
}

std::size_t largoDeRacha(std::string_view s, std::size_t pos) {
    std::size_t n = 1;
    while (pos + n < s.size() && s[pos + n] == s[pos]) ++n;
    return n;
}

#ifdef _WIN32
// One setting of the user's locale (with the changes made in the Control
// Panel); empty when Windows does not give it.
std::string deLocale(LCTYPE dato) {
    wchar_t buf[128];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, dato, buf, 128);
    return n > 1 ? deAncho(std::wstring_view(buf, static_cast<std::size_t>(n - 1))) : std::string();
}
#else
// strftime conversions of the C library's date and time formats.
std::string deStrftime(std::string_view f) {
    std::string r;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%' || i + 1 == f.size()) {
            r += f[i];
            continue;
        }
        char c = f[++i];
        if (c == 'E' || c == 'O') {
            if (i + 1 == f.size()) break;
            c = f[++i];
        }
        switch (c) {
            case 'd': r += "dd"; break;
            case 'e': r += "d"; break;
            case 'm': r += "MM"; break;
            case 'Y': r += "yyyy"; break;
            case 'y': r += "yy"; break;
            case 'H': r += "HH"; break;
            case 'k': r += "H"; break;
            case 'I': r += "hh"; break;
            case 'l': r += "h"; break;
            case 'M': r += "mm"; break;
            case 'S': r += "ss"; break;
            case 'p': case 'P': r += "tt"; break;
            case 'D': r += "MM/dd/yy"; break;
            case 'F': r += "yyyy-MM-dd"; break;
            case 'T': r += "HH:mm:ss"; break;
            case 'R': r += "HH:mm"; break;
            case 'r': r += "hh:mm:ss tt"; break;
            case '%': r += '%'; break;
            default: break;
        }
    }
    return r;
}

std::string primerSeparador(std::string_view patron, std::string_view porDefecto) {
    for (char c : patron)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' ')) return std::string(1, c);
    return std::string(porDefecto);
}
#endif

}  // namespace

Regional regionalDeLocale() {
    Regional r;
#ifdef _WIN32
    // Windows' patterns are the program's own.
    const auto tomar = [](LCTYPE dato, std::string& destino) {
        std::string v = deLocale(dato);
        if (!v.empty()) destino = std::move(v);
    };
    tomar(LOCALE_SSHORTDATE, r.fechaCorta);
    tomar(LOCALE_STIMEFORMAT, r.horaLarga);
    tomar(LOCALE_SDATE, r.separadorFecha);
    tomar(LOCALE_STIME, r.separadorHora);
    tomar(LOCALE_SDECIMAL, r.separadorDecimal);
    tomar(LOCALE_S1159, r.designadorAm);
    tomar(LOCALE_S2359, r.designadorPm);
#else
    std::setlocale(LC_TIME, "");
    std::setlocale(LC_NUMERIC, "");
    const std::string fecha = deStrftime(nl_langinfo(D_FMT));
    const std::string hora = deStrftime(nl_langinfo(T_FMT));
    if (!fecha.empty()) r.fechaCorta = fecha;
    if (!hora.empty()) r.horaLarga = hora;
    r.separadorFecha = primerSeparador(r.fechaCorta, "/");
    r.separadorHora = primerSeparador(r.horaLarga, ":");
    const char* decimal = nl_langinfo(RADIXCHAR);
    if (decimal && *decimal) r.separadorDecimal = decimal;
    const char* am = nl_langinfo(AM_STR);
    const char* pm = nl_langinfo(PM_STR);
    if (am && *am) r.designadorAm = am;
    if (pm && *pm) r.designadorPm = pm;
    // The program's numeric text is its own; keep the C library on "C".
    std::setlocale(LC_NUMERIC, "C");
#endif
    return r;
}

Regional leerRegional(const Registro& registro) {
    Regional r = regionalDeLocale();
    const std::string_view clave = "Control Panel\\International";
    if (!registro.existeClave(RaizRegistro::CurrentUser, clave)) return r;
    auto tomar = [&](std::string_view nombre, std::string& destino) {
        const auto v = registro.leerValor(RaizRegistro::CurrentUser, clave, nombre);
        if (v && v->tipo != ValorRegistro::Tipo::Otro && !v->datos.empty()) destino = v->datos;
    };
    tomar("sShortDate", r.fechaCorta);
    tomar("sTimeFormat", r.horaLarga);
    tomar("sDate", r.separadorFecha);
    tomar("sTime", r.separadorHora);
    tomar("sDecimal", r.separadorDecimal);
    tomar("s1159", r.designadorAm);
    tomar("s2359", r.designadorPm);
    return r;
}

std::string formatearFechaHora(std::string_view p, const FechaHora& v, const Regional& reg) {
    std::string r;
    for (std::size_t i = 0; i < p.size();) {
        const char c = p[i];
        if (c == '\'' || c == '"') {
            const auto cierre = p.find(c, i + 1);
            const auto fin = cierre == std::string_view::npos ? p.size() : cierre;
            r += p.substr(i + 1, fin - i - 1);
            i = fin == p.size() ? fin : fin + 1;
            continue;
        }
        const std::size_t n = largoDeRacha(p, i);
        const bool pm = v.hora.hora >= 12;
        const unsigned hora12 = v.hora.hora % 12 == 0 ? 12 : v.hora.hora % 12;
        switch (c) {
            case 'd': r += conCeros(v.fecha.dia, n >= 2 ? 2 : 1); break;
            case 'M': r += conCeros(v.fecha.mes, n >= 2 ? 2 : 1); break;
            case 'y':
                if (n >= 3) r += conCeros(static_cast<unsigned>(v.fecha.anio), 4);
                else r += conCeros(static_cast<unsigned>(v.fecha.anio % 100), n >= 2 ? 2 : 1);
                break;
            case 'H': r += conCeros(v.hora.hora, n >= 2 ? 2 : 1); break;
            case 'h': r += conCeros(hora12, n >= 2 ? 2 : 1); break;
            case 'm': r += conCeros(v.hora.minuto, n >= 2 ? 2 : 1); break;
            case 's': r += conCeros(v.hora.segundo, n >= 2 ? 2 : 1); break;
            case 't': {
                const std::string& d = pm ? reg.designadorPm : reg.designadorAm;
                r += n >= 2 ? d : d.substr(0, 1);
                break;
            }
            case '/': r.append(n == 1 ? reg.separadorFecha : std::string(p.substr(i, n))); break;
            case ':': r.append(n == 1 ? reg.separadorHora : std::string(p.substr(i, n))); break;
            default: r.append(p.substr(i, n)); break;
        }
        i += n;
    }
    return r;
}

std::string textoFecha(const Fecha& fecha, const Regional& regional) {
    return formatearFechaHora(regional.fechaCorta, {fecha, {}}, regional);
}

std::string textoHora(const Hora& hora, const Regional& regional) {
    return formatearFechaHora(regional.horaLarga, {{}, hora}, regional);
}

}  // namespace autorep::plataforma
