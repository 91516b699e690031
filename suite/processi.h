#pragma once

#include <QtGlobal>

class QString;

namespace suite {

// Starting and bringing forward sibling programs: the one place the suite reaches the platform.
class Processi {
public:
    virtual ~Processi() = default;
    // Starts the command line detached; its process ID, or 0 when it could not be started.
    virtual qint64 avvia(const QString& rigaComando) = 0;
    // Brings forward the main window of `pid` or of a process it started. False when `pid` is gone,
    // is not the process that started at `avvio` (app::avvioProcesso), or, with no `avvio` known,
    // does not run `rigaComando`; false too when none of them has a window.
    virtual bool attiva(qint64 pid, const QString& avvio, const QString& rigaComando) = 0;
};

// Processes and X11 windows of this machine.
class ProcessiSistema final : public Processi {
public:
    ProcessiSistema() = default;
    Q_DISABLE_COPY_MOVE(ProcessiSistema)

    qint64 avvia(const QString& rigaComando) override;
    bool attiva(qint64 pid, const QString& avvio, const QString& rigaComando) override;
};

} // namespace suite
