#pragma once

#include "suite/processi.h"

#include <QList>
#include <QString>
#include <QStringList>

// The test sibling program and the processes the tests start, all stopped by their ID.
namespace prova {

// The built test sibling.
QString programmaSorella();
// Copies the test sibling to `percorso`, executable.
bool copiaSorella(const QString& percorso);
// `testo` between double quotes, as a command line keeps a path with blanks together.
QString tra(const QString& testo);

// The starts recorded in a counter file: for each, the process ID followed by the arguments.
QList<QStringList> avvii(const QString& contatore);
QList<qint64> pidAvviati(const QString& contatore);

// A process that exists and is no zombie.
bool vivo(qint64 pid);
// Ends `pid` with SIGTERM, then SIGKILL if it lingers; waits until it is gone.
void ferma(qint64 pid);

// The raw line of `chiave` in `sezione` of `file`, as written (blanks kept); empty when absent.
QString rigaGrezza(const QString& file, const QString& sezione, const QString& chiave);

// The real processes, with a record of what was asked of them.
class ProcessiRegistrati final : public suite::Processi {
public:
    suite::ProcessiSistema sistema;
    QList<qint64> avviati;     // every process started
    QList<qint64> richieste;   // every activation asked for
    QList<qint64> attivati;    // the activations that succeeded

    qint64 avvia(const QString& rigaComando) override;
    bool attiva(qint64 pid, const QString& rigaComando) override;
    // Stops everything this object started.
    void fermaTutti();
};

} // namespace prova
