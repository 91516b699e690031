#pragma once

#include <QString>
#include <QVariant>
#include <optional>

namespace app { class Dialoghi; }

namespace suite {

class Processi;

// The bookkeeping through which the suite's procedures find one another in the shared settings
// file: which command starts a procedure, which task runs it and for which company.
class ModuliOpzionali final {
    Q_DISABLE_COPY_MOVE(ModuliOpzionali)
public:
    ModuliOpzionali(const QString& fileIni, const QString& codiceSocieta, app::Dialoghi& dialoghi,
                    Processi& processi);

    void nomeProceduraChiamata(const QVariant& nProc);
    void nomeProceduraChiamante(const QVariant& nProc);
    // Takes the program's own company code, whatever the value given.
    void codiceDitta(const QVariant& ditta);
    QVariant codiceDitta() const;
    QVariant numeroHandleString() const;

    void leggiCodiceSocieta();
    void scriviCodiceSocieta();
    void pulisciHandle();
    void scriviHandle();
    void leggiHandle();
    // Brings forward the called procedure's instance for the caller's company, or starts one.
    void attivaProcedura();
    void lanciaProcedura(const QVariant& programma);

private:
    QString leggi(const QString& sezione, const QString& chiave) const;
    void scrivi(const QString& chiave, const std::optional<QString>& valore);
    void leggiDittaChiamante();
    // When the process "HANDLE" names started, if this program started it with `rigaComando`.
    QString avvioRegistrato(const QString& rigaComando) const;

    const QString fileIni_;
    const QString codiceSocieta_;
    app::Dialoghi& dialoghi_;
    Processi& processi_;

    QString nomeChiamata;
    QString nomeChiamante;
    QString chiaveIni;
    std::optional<QString> ditta;  // not yet assigned until a company code is read or given
    QString dittaChiamata;
    QString numeroHandle;
    qint64 handleProcesso = 0;
};

} // namespace suite
