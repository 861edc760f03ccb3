#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
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
    std::thread aceptador_;
    std::mutex mutex_;
    std::list<std::shared_ptr<Conexion>> conexiones_;
};

}  // namespace autorep::bench
