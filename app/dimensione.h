#pragma once

#include <QSize>
#include <QString>

// The window's size as measured at an earlier start, kept in the user's cache folder together with what it was
// measured under (`impronta`): with it the window can go to the window manager before its controls are built.
namespace app {

// The size kept under the same `impronta`; none when the file is missing, unreadable, kept under something
// else, or gives a size below `minima` or absurdly above it.
QSize dimensioneRicordata(const QString& impronta, QSize minima);

// Keeps the size for the next start; a cache that cannot be written only costs the next start its head start.
void ricordaDimensione(const QString& impronta, QSize dimensione);

} // namespace app
