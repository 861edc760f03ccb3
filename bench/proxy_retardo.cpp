#include "bench/proxy_retardo.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace autorep::bench {

using Reloj = std::chrono::steady_clock;

namespace {

// One direction: a reader that stamps each chunk and a writer that sends it
// when its delay is over, so chunks in flight overlap as on a real link.
struct Sentido {
    std::mutex mutex;
    std::condition_variable hay;
    std::deque<std::pair<Reloj::time_point, std::vector<char>>> cola;
    bool cerrado = false;
};

}  // namespace

struct ProxyRetardo::Conexion {
    int cliente = -1, servidor = -1;
    Sentido haciaServidor, haciaCliente;
    std::atomic<bool> ultimoDelServidor{false};
    std::uint64_t idasYVueltas = 0;   // its own, counted by the client's reader
    std::uint64_t corte = UINT64_MAX;  // the round trip it is cut at
    std::vector<std::thread> hilos;
    ~Conexion() {
        for (auto& h : hilos)
            if (h.joinable()) h.join();
        if (cliente >= 0) close(cliente);
        if (servidor >= 0) close(servidor);
    }
};

ProxyRetardo::ProxyRetardo(std::uint16_t destino, std::chrono::milliseconds retardo) : destino_(destino), retardo_(retardo) {
    escucha_ = socket(AF_INET, SOCK_STREAM, 0);
    const int uno = 1;
    setsockopt(escucha_, SOL_SOCKET, SO_REUSEADDR, &uno, sizeof uno);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    dir.sin_port = 0;
    if (bind(escucha_, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0 || listen(escucha_, 16) != 0)
        throw std::runtime_error("proxy: no se pudo escuchar en 127.0.0.1");
    socklen_t largo = sizeof dir;
    getsockname(escucha_, reinterpret_cast<sockaddr*>(&dir), &largo);
    puerto_ = ntohs(dir.sin_port);
    aceptador_ = std::thread([this] { aceptar(); });
}

ProxyRetardo::~ProxyRetardo() {
    fin_ = true;
    shutdown(escucha_, SHUT_RDWR);
    close(escucha_);
    aceptador_.join();
    std::lock_guard bloqueo(mutex_);
    for (auto& c : conexiones_) {
        shutdown(c->cliente, SHUT_RDWR);
        shutdown(c->servidor, SHUT_RDWR);
        for (Sentido* s : {&c->haciaServidor, &c->haciaCliente}) {
            std::lock_guard b(s->mutex);
            s->cerrado = true;
            s->hay.notify_all();
        }
    }
    conexiones_.clear();
}

void ProxyRetardo::aceptar() {
    while (!fin_) {
        const int cliente = accept(escucha_, nullptr, nullptr);
        if (cliente < 0) return;
        auto c = std::make_shared<Conexion>();
        c->cliente = cliente;
        if (aceptadas_++ == corteConexion_) c->corte = corteIdasYVueltas_;
        c->servidor = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in dir{};
        dir.sin_family = AF_INET;
        dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        dir.sin_port = htons(destino_);
        if (connect(c->servidor, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0) continue;  // closed with c
        const int uno = 1;
        setsockopt(c->cliente, IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
        setsockopt(c->servidor, IPPROTO_TCP, TCP_NODELAY, &uno, sizeof uno);
        atender(c);
        std::lock_guard bloqueo(mutex_);
        conexiones_.push_back(c);
    }
}

void ProxyRetardo::atender(std::shared_ptr<Conexion> c) {
    Conexion* cp = c.get();  // the proxy's list keeps it alive until its threads are joined
    auto leer = [this, cp](int desde, Sentido& s, bool esCliente) {
        std::vector<char> buf(65536);
        for (;;) {
            const ssize_t n = recv(desde, buf.data(), buf.size(), 0);
            std::lock_guard bloqueo(s.mutex);
            if (n <= 0) {
                s.cerrado = true;
                s.hay.notify_all();
                return;
            }
            if (esCliente && cp->ultimoDelServidor.exchange(false)) {
                ++idasYVueltas_;
                if (++cp->idasYVueltas >= cp->corte) {
                    cortada_ = true;
                    shutdown(cp->cliente, SHUT_RDWR);
                    shutdown(cp->servidor, SHUT_RDWR);
                    s.cerrado = true;
                    s.hay.notify_all();
                    return;
                }
            }
            if (!esCliente) cp->ultimoDelServidor = true;
            s.cola.emplace_back(Reloj::now() + retardo_, std::vector<char>(buf.begin(), buf.begin() + n));
            s.hay.notify_all();
        }
    };
    auto escribir = [](int hacia, Sentido& s) {
        for (;;) {
            std::unique_lock bloqueo(s.mutex);
            s.hay.wait(bloqueo, [&] { return !s.cola.empty() || s.cerrado; });
            if (s.cola.empty()) {
                shutdown(hacia, SHUT_WR);
                return;
            }
            const auto cuando = s.cola.front().first;
            if (Reloj::now() < cuando) {
                s.hay.wait_until(bloqueo, cuando);
                continue;
            }
            std::vector<char> trozo = std::move(s.cola.front().second);
            s.cola.pop_front();
            bloqueo.unlock();
            for (std::size_t hecho = 0; hecho < trozo.size();) {
                const ssize_t n = send(hacia, trozo.data() + hecho, trozo.size() - hecho, MSG_NOSIGNAL);
                if (n <= 0) return;
                hecho += static_cast<std::size_t>(n);
            }
        }
    };
    c->hilos.emplace_back(leer, c->cliente, std::ref(c->haciaServidor), true);
    c->hilos.emplace_back(leer, c->servidor, std::ref(c->haciaCliente), false);
    c->hilos.emplace_back(escribir, c->servidor, std::ref(c->haciaServidor));
    c->hilos.emplace_back(escribir, c->cliente, std::ref(c->haciaCliente));
}

}  // namespace autorep::bench
