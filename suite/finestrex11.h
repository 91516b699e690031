#pragma once

#include <QtGlobal>

struct xcb_connection_t;

namespace suite::x11 {

// Raises and focuses the top-level window of process `pid` on every screen of the connection:
// through the window manager when one runs, directly when none does. False when it has no window.
bool attivaFinestra(xcb_connection_t* connessione, qint64 pid);

} // namespace suite::x11
