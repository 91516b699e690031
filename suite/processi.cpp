#include "processi.h"

#include "finestrex11.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace suite {

using namespace Qt::StringLiterals;

namespace {

// The canonical path of the program a command line starts, found as the start itself finds it.
QString programmaDi(const QString& rigaComando)
{
    const QStringList parti = QProcess::splitCommand(rigaComando);
    if (parti.isEmpty())
        return {};
    QString programma = parti.first();
    if (!programma.contains(u'/'))
        programma = QStandardPaths::findExecutable(programma);
    return programma.isEmpty() ? QString() : QFileInfo(programma).canonicalFilePath();
}

// Whether `pid` is a live process running `programma`; a zombie or a process we may not see is not.
bool esegue(qint64 pid, const QString& programma)
{
    if (pid <= 0 || programma.isEmpty())
        return false;
    const QString cartella = u"/proc/"_s + QString::number(pid);
    const QString eseguibile = QFileInfo(cartella + u"/exe"_s).canonicalFilePath();
    if (eseguibile.isEmpty())
        return false;
    if (eseguibile == programma)
        return true;
    // A script runs under its interpreter, which has the script's path among its first arguments.
    QFile comando(cartella + u"/cmdline"_s);
    if (!comando.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> argomenti = comando.readAll().split('\0');
    for (qsizetype i = 1; i < std::min<qsizetype>(argomenti.size(), 3); ++i) {
        const QFileInfo argomento(QFile::decodeName(argomenti[i]));
        if (argomento.isAbsolute() && argomento.canonicalFilePath() == programma)
            return true;
    }
    return false;
}

} // namespace

qint64 ProcessiSistema::avvia(const QString& rigaComando)
{
    QStringList parti = QProcess::splitCommand(rigaComando);
    if (parti.isEmpty())
        return 0;
    QProcess processo;
    processo.setProgram(parti.takeFirst());
    processo.setArguments(parti);
    processo.setStandardInputFile(QProcess::nullDevice());
    processo.setStandardOutputFile(QProcess::nullDevice());
    processo.setStandardErrorFile(QProcess::nullDevice());
    // startDetached gives the program a session of its own: its own process group, no terminal.
    qint64 pid = 0;
    return processo.startDetached(&pid) ? pid : 0;
}

bool ProcessiSistema::attiva(qint64 pid, const QString& rigaComando)
{
    if (!esegue(pid, programmaDi(rigaComando)))
        return false;
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* nativa = gui && QGuiApplication::platformName() == u"xcb"_s
                    ? gui->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    // Where no program may raise another's window, the live instance is still the one to keep.
    if (!nativa)
        return true;
    return x11::attivaFinestra(nativa->connection(), pid);
}

} // namespace suite
