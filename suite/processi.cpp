#include "processi.h"

#include "finestrex11.h"

#include "app/processo.h"

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
QString programmaDi(const QStringList& parti)
{
    if (parti.isEmpty())
        return {};
    QString programma = parti.first();
    if (!programma.contains(u'/'))
        programma = QStandardPaths::findExecutable(programma);
    return programma.isEmpty() ? QString() : QFileInfo(programma).canonicalFilePath();
}

// Whether live process `pid` runs `rigaComando`: its program, or a script under its interpreter, and then
// the same arguments, so that an interpreter running another script is not taken for it.
bool esegue(qint64 pid, const QString& rigaComando)
{
    const QStringList parti = QProcess::splitCommand(rigaComando);
    const QString programma = programmaDi(parti);
    const QString cartella = u"/proc/"_s + QString::number(pid);
    QFile comando(cartella + u"/cmdline"_s);
    if (programma.isEmpty() || app::avvioProcesso(pid).isEmpty() || !comando.open(QIODevice::ReadOnly))
        return false;
    QStringList argomenti;
    const QByteArray testo = comando.readAll();
    // Every argument ends with a NUL, the last one too.
    for (const QByteArray& argomento : testo.left(testo.size() - 1).split('\0'))
        argomenti.append(QFile::decodeName(argomento));
    for (qsizetype i = 0; i < std::min<qsizetype>(argomenti.size(), 3); ++i) {
        const QFileInfo percorso(i == 0 ? cartella + u"/exe"_s : argomenti[i]);
        if ((i == 0 || percorso.isAbsolute()) && percorso.canonicalFilePath() == programma &&
            argomenti.mid(i + 1) == parti.mid(1))
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

bool ProcessiSistema::attiva(qint64 pid, const QString& avvio, const QString& rigaComando)
{
    // The start recorded names the very process, whatever launcher or interpreter it runs now.
    if (avvio.isEmpty() ? !esegue(pid, rigaComando) : app::avvioProcesso(pid) != avvio)
        return false;
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* nativa = gui && QGuiApplication::platformName() == u"xcb"_s
                    ? gui->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    // Where no program may raise another's window, the live instance is still the one to keep.
    if (!nativa)
        return true;
    // A launcher that stays the parent leaves the window to a process it started.
    return x11::attivaFinestra(nativa->connection(), app::discendenti(pid));
}

} // namespace suite
