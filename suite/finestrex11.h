#pragma once

#include <QList>

struct xcb_connection_t;

namespace suite::x11 {

// Raises and focuses the top-level window of one of `processi` on the first screen that shows one:
// through the window manager when one runs, directly when none does. False when they have no window.
bool attivaFinestra(xcb_connection_t* connessione, const QList<qint64>& processi);

} // namespace suite::x11
