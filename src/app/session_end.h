// The end of a session from outside: a logout (SIGTERM), Ctrl+C in the
// terminal (SIGINT) or a hang-up (SIGHUP). The signal is only noted in its
// handler; `handler` then runs on the GUI thread, where the windows close
// as their own off controls would close them. `handler` is given the
// signal's number.
#pragma once

#include <functional>

class QObject;

namespace qelvar::app {

void onSessionEnd(QObject* context, std::function<void(int)> handler);

} // namespace qelvar::app
