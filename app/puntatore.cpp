#include "puntatore.h"

#include <QCursor>
#include <QGuiApplication>

namespace app {

bool clessidraRichiesta = false;

void mostraClessidra()
{
    if (clessidraRichiesta)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void ripristinaPuntatore()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void attesaArchivio(bool inizio)
{
    if (inizio)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else if (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

} // namespace app
