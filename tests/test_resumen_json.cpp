// resumen.json as a monitor reads it: valid UTF-8 JSON, whatever the texts hold.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "reconcile/resumen_json.h"

using namespace autorep::conciliacion;

namespace {

TEST(ResumenJson, TextosEscapadosYEnUtf8) {
    Revision v;
    v.inicio = "2016-10-31T12:00:00+00:00";
    v.origen = "srv:\\datos \"1\"";
    v.desde = {2016, 10, 1};
    v.hasta = {2016, 10, 31};
    ParRevision p;
    p.compania = "0\xD1" "1";
    p.nombreCompania = "Caf\xE9 \x80 <\"uno\">\t\r\n";
    p.companiaDestino = "101";
    p.tipo = 21;
    p.estado = ParRevision::Estado::Error;
    p.error = "Se presento el siguiente error: I/O error for file \"C:\\DATOS\\A\xD1O.FDB\"\r\n-linea 2";
    v.pares.push_back(p);

    const auto j = nlohmann::json::parse(jsonRevision(v));  // throws on invalid UTF-8 or JSON
    EXPECT_EQ(j["origen"], "srv:\\datos \"1\"");
    const auto& r = j["resultados"][0];
    EXPECT_EQ(r["compania"], "0Ñ1");
    EXPECT_EQ(r["nombre_compania"], "Café € <\"uno\">\t\r\n");
    EXPECT_EQ(r["error"], "Se presento el siguiente error: I/O error for file \"C:\\DATOS\\AÑO.FDB\"\r\n-linea 2");
    EXPECT_EQ(r["estado"], "error");
    EXPECT_TRUE(r["reporte"].is_null()) << "no report was opened";
    EXPECT_EQ(r["total_origen"], "0");
    EXPECT_EQ(j["desde"], "2016-10-01");
}

}  // namespace
