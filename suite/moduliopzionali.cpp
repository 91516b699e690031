#include "moduliopzionali.h"

#include "processi.h"
#include "testi.h"

#include "app/dialoghi.h"
#include "app/inifile.h"
#include "app/processo.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QProcess>

namespace suite {

using namespace Qt::StringLiterals;

namespace {

const QString sezioneApplicativi = u"APPLICATIVI"_s;
const QString chiaveHandle = u"HANDLE"_s;
const QString chiaveDitta = u"DITTA"_s;
// This program's own key beside them, "PID BOOT TICKS DIGEST": the start of the process it started
// and a digest of the command line's words, so that a process merely reusing the number is not raised.
const QString chiaveAvvio = u"AVVIO"_s;

QString impronta(const QString& rigaComando)
{
    const QByteArray parole = QProcess::splitCommand(rigaComando).join(QChar(0)).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(parole, QCryptographicHash::Sha1).toHex().left(12));
}

// A task identifier as this class writes it: the digits after the blank of a positive sign.
QString testoHandle(qint64 pid)
{
    return u' ' + QString::number(pid);
}

// The task a "HANDLE" names; 0 when it is blank or no number, which both mean "not running".
qint64 taskDi(const QString& testo)
{
    bool numero = false;
    const qint32 pid = testo.trimmed().toInt(&numero);
    return numero && pid > 0 ? pid : 0;
}

} // namespace

ModuliOpzionali::ModuliOpzionali(const QString& fileIni, const QString& codiceSocieta, app::Dialoghi& dialoghi,
                                 Processi& processi)
    : fileIni_(fileIni), codiceSocieta_(codiceSocieta), dialoghi_(dialoghi), processi_(processi)
{
}

void ModuliOpzionali::nomeProceduraChiamata(const QVariant& nProc)
{
    nomeChiamata = nProc.toString();
}

void ModuliOpzionali::nomeProceduraChiamante(const QVariant& nProc)
{
    nomeChiamante = nProc.toString();
}

void ModuliOpzionali::codiceDitta(const QVariant&)
{
    ditta = codiceSocieta_;
}

QVariant ModuliOpzionali::codiceDitta() const
{
    return ditta.value_or(QString());
}

QVariant ModuliOpzionali::numeroHandleString() const
{
    return numeroHandle;
}

void ModuliOpzionali::leggiCodiceSocieta()
{
    chiaveIni = chiaveDitta;
    ditta = leggi(nomeChiamata, chiaveIni).toUpper();
}

void ModuliOpzionali::scriviCodiceSocieta()
{
    // No company read or given yet: the caller's, rather than removing the procedure's.
    if (!ditta)
        leggiDittaChiamante();
    chiaveIni = chiaveDitta;
    scrivi(chiaveIni, *ditta);
}

void ModuliOpzionali::pulisciHandle()
{
    chiaveIni = chiaveHandle;
    scrivi(chiaveIni, u""_s);
}

void ModuliOpzionali::scriviHandle()
{
    chiaveIni = chiaveHandle;
    scrivi(chiaveIni, testoHandle(QCoreApplication::applicationPid()));
}

void ModuliOpzionali::leggiHandle()
{
    chiaveIni = chiaveHandle;
    numeroHandle = leggi(nomeChiamata, chiaveIni);
}

void ModuliOpzionali::attivaProcedura()
{
    const QString rigaComando = leggi(sezioneApplicativi, nomeChiamata);
    if (rigaComando.trimmed().isEmpty()) {
        dialoghi_.chiedi(nomeChiamata + testi::nonPresenteSu + fileIni_, testi::titoloProgramma, app::Pulsanti::Ok,
                         app::Icona::Nessuna);
        return;
    }
    leggiHandle();
    handleProcesso = taskDi(numeroHandle);
    if (handleProcesso == 0) {
        lanciaProcedura(rigaComando);
        return;
    }
    leggiDittaChiamante();
    dittaChiamata = leggi(nomeChiamata, chiaveIni).toUpper();
    if (dittaChiamata == *ditta && processi_.attiva(handleProcesso, avvioRegistrato(rigaComando), rigaComando))
        return;
    lanciaProcedura(rigaComando);
}

void ModuliOpzionali::lanciaProcedura(const QVariant& programma)
{
    const QString rigaComando = programma.toString();
    const qint64 pid = processi_.avvia(rigaComando);
    if (pid == 0) {
        dialoghi_.chiedi(rigaComando + testi::nonTrovato, testi::titoloProgramma, app::Pulsanti::Ok,
                         app::Icona::Nessuna);
        return;
    }
    handleProcesso = pid;
    numeroHandle = testoHandle(pid);
    chiaveIni = chiaveHandle;
    scrivi(chiaveIni, numeroHandle);
    const QString avvio = app::avvioProcesso(pid);
    scrivi(chiaveAvvio, avvio.isEmpty()
                            ? std::nullopt
                            : std::optional(QString::number(pid) + u' ' + avvio + u' ' + impronta(rigaComando)));
}

QString ModuliOpzionali::avvioRegistrato(const QString& rigaComando) const
{
    const QStringList parti = leggi(nomeChiamata, chiaveAvvio).split(u' ', Qt::SkipEmptyParts);
    // Recorded for another process (the sibling wrote its own "HANDLE") or another command: not known.
    if (parti.size() != 4 || parti[0].toLongLong() != handleProcesso || parti[3] != impronta(rigaComando))
        return {};
    return parti[1] + u' ' + parti[2];
}

QString ModuliOpzionali::leggi(const QString& sezione, const QString& chiave) const
{
    return app::leggiIni(fileIni_, sezione, chiave);
}

// Write failures are not reported: the next request finds the file as it is.
void ModuliOpzionali::scrivi(const QString& chiave, const std::optional<QString>& valore)
{
    app::scriviIni(fileIni_, nomeChiamata, chiave, valore);
}

void ModuliOpzionali::leggiDittaChiamante()
{
    chiaveIni = chiaveDitta;
    ditta = leggi(nomeChiamante, chiaveIni).toUpper();
}

} // namespace suite
