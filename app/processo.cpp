#include "processo.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace app {

using namespace Qt::StringLiterals;

namespace {

// The fields of /proc/PID/stat after the command name, which may itself hold blanks and ")".
QList<QByteArray> campiStato(qint64 pid)
{
    QFile stato(u"/proc/"_s + QString::number(pid) + u"/stat"_s);
    if (pid <= 0 || !stato.open(QIODevice::ReadOnly))
        return {};
    const QByteArray testo = stato.readAll();
    const qsizetype chiusa = testo.lastIndexOf(')');
    return chiusa < 0 ? QList<QByteArray>() : testo.mid(chiusa + 2).trimmed().split(' ');
}

bool vivo(const QList<QByteArray>& campi)
{
    return campi.size() > 19 && campi[0] != "Z" && campi[0] != "X";
}

} // namespace

QString avvioProcesso(qint64 pid)
{
    const QList<QByteArray> campi = campiStato(pid);
    QFile avvioSistema(u"/proc/sys/kernel/random/boot_id"_s);
    if (!vivo(campi) || !avvioSistema.open(QIODevice::ReadOnly))
        return {};
    // Field 22 of the whole line is the 20th after the name.
    return QString::fromLatin1(avvioSistema.readAll().trimmed() + ' ' + campi[19]);
}

QList<qint64> discendenti(qint64 pid)
{
    QMultiHash<qint64, qint64> figli;
    const QStringList cartelle = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& nome : cartelle) {
        bool numero = false;
        const qint64 figlio = nome.toLongLong(&numero);
        const QList<QByteArray> campi = numero ? campiStato(figlio) : QList<QByteArray>();
        if (vivo(campi))
            figli.insert(campi[1].toLongLong(), figlio);
    }
    QList<qint64> tutti{pid};
    for (qsizetype i = 0; i < tutti.size(); ++i)
        tutti += figli.values(tutti[i]);
    return tutti;
}

} // namespace app
