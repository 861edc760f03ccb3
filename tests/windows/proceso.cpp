#include "tests/windows/proceso.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/sistema.h"
#include "platform/win32/ancho.h"
#include "tests/apoyo/base_prueba.h"

namespace autorep::prueba {

namespace {

std::string leerHastaElFin(HANDLE h) {
    std::string r;
    char trozo[4096];
    DWORD n = 0;
    while (ReadFile(h, trozo, sizeof trozo, &n, nullptr) && n > 0) r.append(trozo, n);
    CloseHandle(h);
    std::string sinCr;
    for (std::size_t i = 0; i < r.size(); ++i)
        if (!(r[i] == '\r' && i + 1 < r.size() && r[i + 1] == '\n')) sinCr += r[i];
    return sinCr;
}

}  // namespace

Salida ejecutar(const std::string& linea) { return ejecutar(plataforma::ancho(linea)); }

Salida ejecutar(std::wstring orden) {
    SECURITY_ATTRIBUTES heredable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE salidaLeer, salidaEscribir, errorLeer, errorEscribir;
    CreatePipe(&salidaLeer, &salidaEscribir, &heredable, 0);
    CreatePipe(&errorLeer, &errorEscribir, &heredable, 0);
    SetHandleInformation(salidaLeer, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errorLeer, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW inicio{};
    inicio.cb = sizeof inicio;
    inicio.dwFlags = STARTF_USESTDHANDLES;
    inicio.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    inicio.hStdOutput = salidaEscribir;
    inicio.hStdError = errorEscribir;
    PROCESS_INFORMATION proceso{};
    const bool creado =
        CreateProcessW(nullptr, orden.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &inicio, &proceso);
    CloseHandle(salidaEscribir);
    CloseHandle(errorEscribir);
    Salida r;
    std::thread lectorError([&] { r.error = leerHastaElFin(errorLeer); });
    r.salida = leerHastaElFin(salidaLeer);
    lectorError.join();
    if (!creado) {
        ADD_FAILURE() << "could not start " << plataforma::deAncho(orden) << " (" << GetLastError() << ")";
        return r;
    }
    WaitForSingleObject(proceso.hProcess, INFINITE);
    DWORD estado = 0;
    GetExitCodeProcess(proceso.hProcess, &estado);
    r.estado = static_cast<int>(estado);
    CloseHandle(proceso.hThread);
    CloseHandle(proceso.hProcess);
    return r;
}

std::string carpetaDeProgramas() {
    wchar_t ruta[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, ruta, MAX_PATH);
    std::wstring carpeta(ruta, n);
    return plataforma::deAncho(carpeta.substr(0, carpeta.find_last_of(L'\\') + 1));
}

void importarRegistro(const std::string& texto) {
    DirectorioTemporal dir;
    const std::string archivo = dir.str() + "\\importar.reg";
    ASSERT_TRUE(plataforma::escribirArchivo(archivo, texto));
    const Salida s = ejecutar("regedit /S \"" + archivo + "\"");
    ASSERT_EQ(s.estado, 0) << s.error;
}

}  // namespace autorep::prueba
