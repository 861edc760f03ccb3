#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace autorep::bench {

// A TCP forwarder on 127.0.0.1 that holds every chunk for a fixed one-way
// delay in each direction before passing it on to 127.0.0.1:<destino>, and
// counts round trips: a chunk from the client after one from the server.
class ProxyRetardo {
public:
    ProxyRetardo(std::uint16_t destino, std::chrono::milliseconds retardo);
    ~ProxyRetardo();
    ProxyRetardo(const ProxyRetardo&) = delete;
    ProxyRetardo& operator=(const ProxyRetardo&) = delete;

    std::uint16_t puerto() const { return puerto_; }
    std::uint64_t idasYVueltas() const { return idasYVueltas_; }
    // The connection accepted `conexion`-th (from 0) is cut at its
    // `idasYVueltas`-th round trip, both ends at once, as a link that drops.
    // Set before the first client connects.
    void cortar(std::size_t conexion, std::uint64_t idasYVueltas) {
        corteConexion_ = conexion;
        corteIdasYVueltas_ = idasYVueltas;
    }
    bool cortada() const { return cortada_; }

private:
    struct Conexion;
    void aceptar();
    void atender(std::shared_ptr<Conexion> c);

    std::uint16_t destino_;
    std::chrono::milliseconds retardo_;
    int escucha_ = -1;
    std::uint16_t puerto_ = 0;
    std::atomic<bool> fin_{false};
    std::atomic<std::uint64_t> idasYVueltas_{0};
    std::size_t aceptadas_ = 0;
    std::size_t corteConexion_ = SIZE_MAX;
    std::uint64_t corteIdasYVueltas_ = 0;
    std::atomic<bool> cortada_{false};
    std::thread aceptador_;
    std::mutex mutex_;
    std::list<std::shared_ptr<Conexion>> conexiones_;
};

}  // namespace autorep::bench
