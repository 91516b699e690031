#include "moduliopzionali.h"

#include "processi.h"
#include "testi.h"

#include "app/dialogs.h"
#include "app/inifile.h"

#include <QCoreApplication>

namespace suite {

using namespace Qt::StringLiterals;

namespace {

const QString sezioneApplicativi = u"APPLICATIVI"_s;
const QString chiaveHandle = u"HANDLE"_s;
const QString chiaveDitta = u"DITTA"_s;

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

ModuliOpzionali::ModuliOpzionali(const QString& fileIni, const QString& codiceSocieta, app::Dialogs& dialoghi,
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
        dialoghi_.ask(nomeChiamata + testi::nonPresenteSu + fileIni_, testi::titoloProgramma, app::Pulsanti::Ok,
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
    if (dittaChiamata == *ditta && processi_.attiva(handleProcesso, rigaComando))
        return;
    lanciaProcedura(rigaComando);
}

void ModuliOpzionali::lanciaProcedura(const QVariant& programma)
{
    const QString rigaComando = programma.toString();
    const qint64 pid = processi_.avvia(rigaComando);
    if (pid == 0) {
        dialoghi_.ask(rigaComando + testi::nonTrovato, testi::titoloProgramma, app::Pulsanti::Ok,
                      app::Icona::Nessuna);
        return;
    }
    handleProcesso = pid;
    numeroHandle = testoHandle(pid);
    chiaveIni = chiaveHandle;
    scrivi(chiaveIni, numeroHandle);
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
