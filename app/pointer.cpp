#include "pointer.h"

#include <QGuiApplication>

namespace app {

bool clessidraRichiesta = false;

void mostraClessidra()
{
    if (clessidraRichiesta)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void ripristinaPuntatore()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

} // namespace app
