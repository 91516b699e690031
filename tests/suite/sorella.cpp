#include "sorella.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/types.h>

using namespace Qt::StringLiterals;

namespace prova {

QString programmaSorella()
{
    return QString::fromUtf8(PEMTARX_SVEGLIA_PROVA);
}

bool copiaSorella(const QString& percorso)
{
    QFile::remove(percorso);
    return QFile::copy(programmaSorella(), percorso) &&
           QFile::setPermissions(percorso, QFile::permissions(percorso) | QFile::ExeOwner);
}

QString tra(const QString& testo)
{
    return u'"' + testo + u'"';
}

QList<QStringList> avvii(const QString& contatore)
{
    QFile file(contatore);
    QList<QStringList> righe;
    if (!file.open(QIODevice::ReadOnly))
        return righe;
    for (const QByteArray& riga : file.readAll().split('\n')) {
        if (!riga.isEmpty())
            righe.append(QString::fromUtf8(riga).split(u'\t'));
    }
    return righe;
}

QList<qint64> pidAvviati(const QString& contatore)
{
    QList<qint64> pid;
    for (const QStringList& avvio : avvii(contatore))
        pid.append(avvio.first().toLongLong());
    return pid;
}

bool vivo(qint64 pid)
{
    if (pid <= 0)
        return false;
    QFile stato(u"/proc/"_s + QString::number(pid) + u"/stat"_s);
    if (!stato.open(QIODevice::ReadOnly))
        return false;
    const QByteArray testo = stato.readAll();
    const qsizetype fine = testo.lastIndexOf(')');
    return fine >= 0 && testo.size() > fine + 2 && testo[fine + 2] != 'Z';
}

void ferma(qint64 pid)
{
    if (!vivo(pid))
        return;
    // Not our child when started detached: poll until it has gone.
    for (const int segnale : {SIGTERM, SIGKILL}) {
        ::kill(static_cast<pid_t>(pid), segnale);
        QDeadlineTimer termine(5000);
        while (vivo(pid) && !termine.hasExpired())
            QThread::msleep(10);
        if (!vivo(pid))
            return;
    }
}

QString rigaGrezza(const QString& file, const QString& sezione, const QString& chiave)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    bool dentro = false;
    for (const QByteArray& riga : f.readAll().split('\n')) {
        const QString testo = QString::fromLatin1(riga).remove(u'\r');
        if (testo.startsWith(u'['))
            dentro = testo.compare(u'[' + sezione + u']', Qt::CaseInsensitive) == 0;
        else if (dentro && testo.startsWith(chiave + u'=', Qt::CaseInsensitive))
            return testo;
    }
    return {};
}

qint64 ProcessiRegistrati::avvia(const QString& rigaComando)
{
    const qint64 pid = sistema.avvia(rigaComando);
    if (pid)
        avviati.append(pid);
    return pid;
}

bool ProcessiRegistrati::attiva(qint64 pid, const QString& rigaComando)
{
    richieste.append(pid);
    const bool riuscita = sistema.attiva(pid, rigaComando);
    if (riuscita)
        attivati.append(pid);
    return riuscita;
}

void ProcessiRegistrati::fermaTutti()
{
    for (const qint64 pid : std::as_const(avviati))
        ferma(pid);
}

} // namespace prova
