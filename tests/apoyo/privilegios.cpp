#include "tests/apoyo/privilegios.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

namespace autorep::prueba {

namespace {

std::string ejecutar(const std::function<std::string()>& cuerpo) {
    try {
        return cuerpo();
    } catch (const std::exception& e) {
        return std::string("exception: ") + e.what();
    } catch (...) {
        return "exception of an unknown type";
    }
}

std::string errorDe(const char* que) { return std::string(que) + ": " + std::strerror(errno); }

// Supplementary groups first, then the group, then the user: once the user
// changes nothing else can.
std::string soltarRoot(uid_t uid, gid_t gid) {
    if (setgroups(0, nullptr) != 0) return errorDe("setgroups");
    if (setgid(gid) != 0) return errorDe("setgid");
    if (setuid(uid) != 0) return errorDe("setuid");
    if (geteuid() == 0 || setuid(0) == 0) return "root privileges survived setuid";
    return {};
}

void escribirTodo(int fd, const std::string& texto) {
    for (std::size_t hecho = 0; hecho < texto.size();) {
        const ssize_t n = write(fd, texto.data() + hecho, texto.size() - hecho);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        hecho += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string sinPrivilegios(const std::function<std::string()>& cuerpo) {
    if (geteuid() != 0) return ejecutar(cuerpo);

    // Looked up before the fork: the child does as little as it can.
    uid_t uid = 65534;
    gid_t gid = 65534;
    if (const passwd* nadie = getpwnam("nobody")) {
        uid = nadie->pw_uid;
        gid = nadie->pw_gid;
    }
    int tubo[2];
    if (pipe(tubo) != 0) return errorDe("pipe");
    std::fflush(nullptr);  // or the child would print the parent's pending output again
    const pid_t hijo = fork();
    if (hijo < 0) {
        close(tubo[0]);
        close(tubo[1]);
        return errorDe("fork");
    }
    if (hijo == 0) {
        close(tubo[0]);
        std::string mensaje = soltarRoot(uid, gid);
        if (mensaje.empty()) mensaje = ejecutar(cuerpo);
        escribirTodo(tubo[1], mensaje);
        // _exit: no destructors or exit handlers of the parent's copy run here
        // (a temporary folder's destructor would delete the folder).
        _exit(mensaje.empty() ? 0 : 1);
    }
    close(tubo[1]);
    std::string mensaje;
    char bloque[512];
    for (;;) {
        const ssize_t n = read(tubo[0], bloque, sizeof bloque);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        mensaje.append(bloque, static_cast<std::size_t>(n));
    }
    close(tubo[0]);
    int estado = 0;
    while (waitpid(hijo, &estado, 0) < 0)
        if (errno != EINTR) return errorDe("waitpid");
    if (WIFSIGNALED(estado)) return "the unprivileged child died of signal " + std::to_string(WTERMSIG(estado));
    if (!WIFEXITED(estado) || WEXITSTATUS(estado) != 0)
        return mensaje.empty() ? "the unprivileged child failed without a message" : mensaje;
    return mensaje;
}

}  // namespace autorep::prueba
