#include "app/session_end.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace qelvar::app {

namespace {

int wakeFds[2] = {-1, -1};

void noteSignal(int sig) {
    const char byte = static_cast<char>(sig);
    [[maybe_unused]] const auto n = ::write(wakeFds[0], &byte, 1);
}

} // namespace

void onSessionEnd(QObject* context, std::function<void(int)> handler) {
    if (wakeFds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeFds) != 0)
        return;
    auto* notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [handler = std::move(handler)] {
                         char bytes[16];
                         const auto n = ::read(wakeFds[1], bytes, sizeof bytes);
                         handler(n > 0 ? bytes[0] : SIGTERM);
                     });
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

} // namespace qelvar::app
