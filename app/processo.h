#pragma once

#include <QList>
#include <QString>

// What Linux tells of a process of this machine, from /proc.
namespace app {

// When live process `pid` started: the boot's id and the clock ticks since that boot. Empty when
// there is no such process or it is a zombie, which has ended and holds nothing any more.
QString avvioProcesso(qint64 pid);

// `pid` and every live process descending from it.
QList<qint64> discendenti(qint64 pid);

} // namespace app
