#pragma once

#include "suite/processi.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <sys/types.h>

// The test sibling program and the processes the tests start, all stopped by their ID.
namespace prova {

inline QString programmaSorella()
{
    return QString::fromUtf8(PEMTARX_SVEGLIA_PROVA);
}

// Copies the test sibling to `percorso`, executable.
inline bool copiaSorella(const QString& percorso)
{
    QFile::remove(percorso);
    return QFile::copy(programmaSorella(), percorso) &&
           QFile::setPermissions(percorso, QFile::permissions(percorso) | QFile::ExeOwner);
}

// A launcher script for `programma`, as Linux desktops start programs: one that hands its process
// over with exec, or one that stays the program's parent.
inline bool scriviLanciatore(const QString& percorso, const QString& programma, bool restaGenitore)
{
    QFile file(percorso);
    const QByteArray comando = "\"" + QFile::encodeName(programma) + "\" \"$@\"";
    // The closing exit keeps the shell itself running instead of handing its process to the command.
    const QByteArray testo =
        "#!/bin/sh\n" + (restaGenitore ? QByteArray(comando + "\nexit 0\n") : "exec " + comando + "\n");
    return file.open(QIODevice::WriteOnly) && file.write(testo) == testo.size() &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// `testo` between double quotes, as a command line keeps a path with blanks together.
inline QString tra(const QString& testo)
{
    return u'"' + testo + u'"';
}

// The starts recorded in a counter file: for each, the process ID followed by the arguments.
inline QList<QStringList> avvii(const QString& contatore)
{
    QFile file(contatore);
    QList<QStringList> righe;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& riga : file.readAll().split('\n'))
            if (!riga.isEmpty())
                righe.append(QString::fromUtf8(riga).split(u'\t'));
    }
    return righe;
}

inline QList<qint64> pidAvviati(const QString& contatore)
{
    QList<qint64> pid;
    for (const QStringList& avvio : avvii(contatore))
        pid.append(avvio.first().toLongLong());
    return pid;
}

// A process that exists and is no zombie.
inline bool vivo(qint64 pid)
{
    QFile stato(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stato.open(QIODevice::ReadOnly))
        return false;
    const QByteArray testo = stato.readAll();
    const qsizetype fine = testo.lastIndexOf(')');
    return fine >= 0 && testo.size() > fine + 2 && testo[fine + 2] != 'Z';
}

// Ends `pid` with SIGTERM, then SIGKILL if it lingers; not our child when started detached, so polls until gone.
inline void ferma(qint64 pid)
{
    for (const int segnale : {SIGTERM, SIGKILL}) {
        if (!vivo(pid))
            return;
        ::kill(static_cast<pid_t>(pid), segnale);
        for (QDeadlineTimer termine(5000); vivo(pid) && !termine.hasExpired();)
            QThread::msleep(10);
    }
}

// The raw line of `chiave` in `sezione` of `file`, as written (blanks kept); empty when absent.
inline QString rigaGrezza(const QString& file, const QString& sezione, const QString& chiave)
{
    QFile f(file);
    bool dentro = false;
    for (const QByteArray& riga : f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>()) {
        const QString testo = QString::fromLatin1(riga).remove(u'\r');
        if (testo.startsWith(u'['))
            dentro = testo.compare(u'[' + sezione + u']', Qt::CaseInsensitive) == 0;
        else if (dentro && testo.startsWith(chiave + u'=', Qt::CaseInsensitive))
            return testo;
    }
    return {};
}

// The real processes, with a record of what was asked of them.
class ProcessiRegistrati final : public suite::Processi {
public:
    suite::ProcessiSistema sistema;
    QList<qint64> avviati;     // every process started
    QList<qint64> richieste;   // every activation asked for
    QList<qint64> attivati;    // the activations that succeeded

    qint64 avvia(const QString& rigaComando) override
    {
        const qint64 pid = sistema.avvia(rigaComando);
        if (pid)
            avviati.append(pid);
        return pid;
    }
    bool attiva(qint64 pid, const QString& avvio, const QString& rigaComando) override
    {
        richieste.append(pid);
        const bool riuscita = sistema.attiva(pid, avvio, rigaComando);
        if (riuscita)
            attivati.append(pid);
        return riuscita;
    }
    // Stops everything this object started.
    void fermaTutti()
    {
        for (const qint64 pid : std::as_const(avviati))
            ferma(pid);
    }
};

// The fixture of every suite test: a folder holding the sibling as `sveglia`, the counter file its starts go
// into and the settings file; whatever was started is stopped by `pulisci`.
struct Banco {
    std::unique_ptr<QTemporaryDir> cartella;
    QString programma, contatore, ini;
    ProcessiRegistrati processi;

    // `modello` names the folder as QTemporaryDir does, so a test can put a blank in every path.
    bool prepara(const QString& modello = QDir::tempPath() + QStringLiteral("/pemtarx-suite-XXXXXX"))
    {
        cartella = std::make_unique<QTemporaryDir>(modello);
        programma = cartella->filePath(QStringLiteral("sveglia"));
        contatore = cartella->filePath(QStringLiteral("conta"));
        ini = cartella->filePath(QStringLiteral("Quendrix.ini"));
        return cartella->isValid() && copiaSorella(programma);
    }
    // A launcher that stays the parent leaves the sibling running when it is stopped: both are stopped.
    void pulisci()
    {
        for (const qint64 pid : pidAvviati(contatore))
            ferma(pid);
        processi.fermaTutti();
        processi.avviati.clear();
        processi.richieste.clear();
        processi.attivati.clear();
        QFile::remove(contatore);
    }
};

} // namespace prova
