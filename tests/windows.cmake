# The tests of the Windows build: the Qt-free unit tests shared with Linux,
# the Windows side of platform/ against Wine's real registry, console and
# files, the Firebird client's loading, and autorep-lote.exe itself. ctest runs
# each program under Wine (CMAKE_CROSSCOMPILING_EMULATOR) in the throwaway
# prefix build-windows/wine; the tests share its registry, so one at a time.

# GoogleTest from Debian's sources, built with the cross compiler.
set(AUTOREP_GOOGLETEST_FUENTES /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${AUTOREP_GOOGLETEST_FUENTES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -w)

add_library(autorep_prueba_apoyo STATIC apoyo/base_prueba.cpp apoyo/entorno_prueba.cpp windows/proceso.cpp)
target_compile_definitions(autorep_prueba_apoyo PUBLIC AUTOREP_SQL_DIR="${CMAKE_SOURCE_DIR}/scripts/sql")
target_link_libraries(autorep_prueba_apoyo PUBLIC autorep_app autorep_db gtest)

set(prefijo_wine ${CMAKE_BINARY_DIR}/wine)
function(autorep_prueba nombre)
  add_executable(${nombre} ${ARGN})
  target_link_libraries(${nombre} PRIVATE autorep_prueba_apoyo gtest_main)
  # Beside autorep-lote.exe, where the tests look for it.
  set_target_properties(${nombre} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  add_test(NAME ${nombre} COMMAND ${nombre})
  set_tests_properties(${nombre} PROPERTIES LABELS windows TIMEOUT 300 RESOURCE_LOCK registro_wine
    ENVIRONMENT "WINEPREFIX=${prefijo_wine};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
endfunction()

# Stand-ins for fbclient.dll, out of the programs' folder: one with the
# function the program looks up, one without it (a client older than 3.0).
foreach(variante falso viejo)
  add_library(fbclient_${variante} SHARED windows/fbclient_falso.cpp)
  set_target_properties(fbclient_${variante} PROPERTIES OUTPUT_NAME fbclient PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fbclient-${variante} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fbclient-${variante})
endforeach()
target_compile_definitions(fbclient_falso PRIVATE AUTOREP_CON_MAESTRO)

# What a test needs measured in a fresh process.
add_executable(ayudante windows/ayudante.cpp)
target_link_libraries(ayudante PRIVATE autorep_db)
set_target_properties(ayudante PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

autorep_prueba(prueba_plataforma test_registro.cpp test_regional.cpp test_rutas.cpp windows/test_plataforma_windows.cpp)
target_link_libraries(prueba_plataforma PRIVATE autorep_reconcile)
add_dependencies(prueba_plataforma ayudante)

# Wine gives a program a console only on a terminal, which `script` lends.
add_executable(prueba_consola windows/test_consola_windows.cpp)
target_link_libraries(prueba_consola PRIVATE autorep_platform gtest_main)
set_target_properties(prueba_consola PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_test(NAME prueba_consola COMMAND script -qec "${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:prueba_consola>" /dev/null)
set_tests_properties(prueba_consola PROPERTIES LABELS windows TIMEOUT 120 RESOURCE_LOCK registro_wine
  ENVIRONMENT "WINEPREFIX=${prefijo_wine};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

autorep_prueba(prueba_bd test_parametros.cpp windows/test_cliente_fb.cpp)
add_dependencies(prueba_bd ayudante fbclient_falso fbclient_viejo)

autorep_prueba(prueba_app test_clave.cpp test_log_hilos.cpp test_opciones_lote.cpp)
target_link_libraries(prueba_app PRIVATE autorep_lote_opciones)

autorep_prueba(prueba_conciliacion test_importe.cpp test_reporte.cpp)
target_link_libraries(prueba_conciliacion PRIVATE autorep_reconcile)

autorep_prueba(prueba_revision test_decimal.cpp test_resumen_json.cpp)
target_link_libraries(prueba_revision PRIVATE autorep_reconcile)

autorep_prueba(prueba_acceso test_traduccion.cpp test_lista_servidores.cpp)
target_link_libraries(prueba_acceso PRIVATE autorep_acceso_nucleo)

autorep_prueba(prueba_lote windows/test_lote_windows.cpp)
target_compile_definitions(prueba_lote PRIVATE AUTOREP_VERSION="${PROJECT_VERSION}")
target_link_libraries(prueba_lote PRIVATE autorep_lote_opciones version)
add_dependencies(prueba_lote autorep-lote)
