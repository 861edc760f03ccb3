#pragma once
#include <string>

#include "platform/fecha.h"

namespace autorep::plataforma {

// Today's date and the time of day in local time. Tests give their own clock
// so that a window can "start on 31 January".
class Reloj {
public:
    virtual ~Reloj() = default;
    virtual FechaHora ahora() const = 0;
};

class RelojSistema final : public Reloj {
public:
    FechaHora ahora() const override;
};

// A local moment as ISO 8601 with this machine's UTC offset at that moment:
// 2026-12-10T13:02:00+01:00.
std::string textoIso8601(const FechaHora& local);

class RelojFijo final : public Reloj {
public:
    explicit RelojFijo(FechaHora momento) : momento_(momento) {}
    FechaHora ahora() const override { return momento_; }

private:
    FechaHora momento_;
};

}  // namespace autorep::plataforma
