#include "store/archivioregistri.h"

#include "store/colonne.h"
#include "store/motore.h"
#include "store/registro.h"
#include "store/testi.h"

#include <QScopeGuard>
#include <QSqlError>
#include <QSqlField>
#include <QStringList>

#include <algorithm>
#include <tuple>

namespace store {

using namespace Qt::StringLiterals;

namespace {

// The whole of one store operation, for whoever shows that the program may be waiting.
auto attesa(const std::function<void(bool)>& avvisa)
{
    if (avvisa)
        avvisa(true);
    return qScopeGuard([&avvisa] {
        if (avvisa)
            avvisa(false);
    });
}

QString elencoColonne(const QSqlDriver* d, std::span<const Colonna> colonne)
{
    QStringList nomi;
    for (const Colonna& c : colonne)
        nomi << quota(d, c.nome);
    return nomi.join(u", "_s);
}

QString sqlSeleziona(const QSqlDriver* d, QLatin1StringView tabella, std::span<const Colonna> colonne)
{
    return u"SELECT "_s + elencoColonne(d, colonne) + u" FROM "_s + quota(d, tabella, QSqlDriver::TableName) +
           u" WHERE "_s + quota(d, colonne.front().nome) + u" = ?"_s;
}

// Inserts the row, or changes every column of the row with the same key: one statement, so two
// clerks saving the same code at once queue on the key instead of both inserting it.
QString sqlScrivi(const QSqlDriver* d, QLatin1StringView tabella, std::span<const Colonna> colonne)
{
    QStringList segni(static_cast<int>(colonne.size()), u"?"_s);
    QStringList assegna;
    for (const Colonna& c : colonne)
        assegna << quota(d, c.nome) + u" = excluded."_s + quota(d, c.nome);
    return u"INSERT INTO "_s + quota(d, tabella, QSqlDriver::TableName) + u" ("_s + elencoColonne(d, colonne) +
           u") VALUES ("_s + segni.join(u", "_s) + u") ON CONFLICT ("_s + quota(d, colonne.front().nome) +
           u") DO UPDATE SET "_s + assegna.join(u", "_s);
}

// Both rows of one code in one statement: one statement reads one snapshot on either engine.
QString sqlTrova(const QSqlDriver* d)
{
    QStringList nomi;
    for (const Colonna& c : colonneRegistri())
        nomi << u"r."_s + quota(d, c.nome);
    for (const Colonna& c : colonneTestata())
        nomi << u"t."_s + quota(d, c.nome);
    return u"SELECT "_s + nomi.join(u", "_s) + u" FROM (SELECT 1 AS uno) AS u LEFT JOIN "_s +
           quota(d, tabellaRegistri, QSqlDriver::TableName) + u" AS r ON r."_s +
           quota(d, colonneRegistri().front().nome) + u" = ? LEFT JOIN "_s +
           quota(d, tabellaTestata, QSqlDriver::TableName) + u" AS t ON t."_s +
           quota(d, colonneTestata().front().nome) + u" = ?"_s;
}

// The two rows of one register, compared value by value.
bool uguali(const std::optional<QSqlRecord>& a, const std::optional<QSqlRecord>& b)
{
    if (!a || !b)
        return !a && !b;
    if (a->count() != b->count())
        return false;
    for (int i = 0; i < a->count(); ++i)
        if (a->isNull(i) != b->isNull(i) || a->value(i) != b->value(i))
            return false;
    return true;
}

bool uguali(const ArchivioRegistri::Righe& a, const ArchivioRegistri::Righe& b)
{
    return uguali(a.registro, b.registro) && uguali(a.testata, b.testata);
}

QString sqlElimina(const QSqlDriver* d, QLatin1StringView tabella, std::span<const Colonna> colonne)
{
    return u"DELETE FROM "_s + quota(d, tabella, QSqlDriver::TableName) + u" WHERE "_s +
           quota(d, colonne.front().nome) + u" = ?"_s;
}

// The register row as written by this program: every column, the acquisition ones reset.
QVariantList valoriRegistro(const Registro& r)
{
    return {r.SspCodice,
            r.SspDescrizione,
            unCarattere(r.SspCarScar),
            r.SspUltimoCarico,
            r.SspGruppoCarico,
            r.SspGruppoSCarico,
            r.SspStampaperSerie,
            r.SspCodiceDischetto,
            r.SspMeccanogCin,
            r.meccanogNumIntatto.isValid() ? r.meccanogNumIntatto : QVariant(r.SspMeccanogNum),
            r.SspCodAutorizzazione,
            r.SspRiqA,
            u" "_s,
            0.0,
            0,
            u" "_s,
            r.SspNTelefonoDaChiamare,
            unCarattere(r.SspTipoProtocollo),
            unCarattere(r.SspACT)};
}

// Empty texts must reach the table as empty texts, never as Null.
QVariant nonNullo(const QString& s) { return s.isNull() ? QVariant(u""_s) : QVariant(s); }

QVariantList valoriTestata(const QString& codice, const TestataRegistro& t)
{
    QVariantList v{codice};
    for (const QString& riga : t.TpsRiga)
        v << nonNullo(riga.trimmed());
    for (const QString& riga : t.TpsRigP)
        v << nonNullo(riga.trimmed());
    return v;
}

bool esegui(QSqlQuery& q, const QVariantList& valori)
{
    for (int i = 0; i < valori.size(); ++i) {
        const QVariant& v = valori.at(i);
        q.bindValue(i, v.typeId() == QMetaType::QString ? nonNullo(v.toString()) : v);
    }
    return q.exec();
}

} // namespace

ArchivioRegistri::ArchivioRegistri(const QString& nomeConnessione) : nome_(nomeConnessione) {}

ArchivioRegistri::~ArchivioRegistri()
{
    chiudi();
    if (QSqlDatabase::contains(nome_)) {
        QSqlDatabase::database(nome_, false).close();
        QSqlDatabase::removeDatabase(nome_);
    }
}

QSqlDatabase ArchivioRegistri::database() const { return QSqlDatabase::database(nome_, false); }

Esito ArchivioRegistri::errore(const QSqlError& e) const { return esitoSql(e, database().driver()); }

Esito ArchivioRegistri::apriDatabase(const QString& percorso, int attesaMs)
{
    const auto avvisata = attesa(inAttesa);
    chiudi();
    posizione_ = percorso;
    attesaMs_ = attesaMs;
    return apriConnessione(nome_, percorso, attesaMs, vecchio_, filePronto_);
}

Esito ArchivioRegistri::verificaScrittura() { return store::verificaScrittura(database(), posizione_); }

Esito ArchivioRegistri::prepara(std::optional<Istruzioni>& istruzioni, bool registri)
{
    istruzioni.reset();
    QSqlDatabase db = database();
    const QSqlDriver* d = db.driver();
    const QLatin1StringView tabella = registri ? tabellaRegistri : tabellaTestata;
    const std::span<const Colonna> colonne = registri ? colonneRegistri() : colonneTestata();
    Istruzioni i{QSqlQuery(db), QSqlQuery(db), QSqlQuery(db)};
    const std::pair<QSqlQuery*, QString> testi[] = {
        {&i.cerca, sqlSeleziona(d, tabella, colonne)},
        {&i.scrivi, sqlScrivi(d, tabella, colonne)},
        {&i.elimina, sqlElimina(d, tabella, colonne)},
    };
    for (const auto& [q, sql] : testi) {
        q->setForwardOnly(true);
        if (!q->prepare(sql))
            return errore(q->lastError());
    }
    istruzioni = std::move(i);
    return {};
}

Esito ArchivioRegistri::apri(std::optional<Istruzioni>& istruzioni, bool registri, bool& aperta)
{
    aperta = false;
    const auto avvisata = attesa(inAttesa);
    if (vecchio_)
        return Esito::errore(erroreVecchioFormato, u"archivio del vecchio formato"_s);
    QSqlDatabase db = database();
    attendi(db, std::min(attesaMs_, attesaAperturaMs));
    const auto fine = qScopeGuard([&] { attendi(db, attesaMs_); });
    // Prepared statements prove the columns; a read proves the table is not held by another user.
    if (Esito e = prepara(istruzioni, registri); !e.ok())
        return e;
    QSqlQuery& q = istruzioni->cerca;
    q.bindValue(0, QString());
    if (!q.exec()) {
        const Esito e = errore(q.lastError());
        istruzioni.reset();
        return e;
    }
    q.finish();
    if (!filePronto_)  // another user held the file when it was opened
        filePronto_ = impostaFile(db);
    aperta = true;
    return {};
}

Esito ArchivioRegistri::apriRegistri() { return apri(registri_, true, registriAperti_); }

Esito ArchivioRegistri::apriTestata() { return apri(testata_, false, testataAperta_); }

void ArchivioRegistri::chiudi()
{
    registri_.reset();
    testata_.reset();
    storico_.reset();
    coppia_.reset();
    inizio_.reset();
    registriAperti_ = testataAperta_ = false;
}

Esito ArchivioRegistri::preparaCoppia()
{
    coppia_.reset();
    QSqlDatabase db = database();
    Coppia c{QSqlQuery(db), QSqlQuery(db), {}, {}};
    c.trova.setForwardOnly(true);
    if (!c.trova.prepare(sqlTrova(db.driver())))
        return errore(c.trova.lastError());
    // The server locks rows, not the gaps between them: writers of one code queue on a lock of
    // their own, so a register inserted or deleted meanwhile is seen before writing.
    if (!sqlite(db.driver()) && !c.blocca.prepare(QString(sqlBloccaCodice)))
        return errore(c.blocca.lastError());
    coppia_ = std::move(c);
    return {};
}

Esito ArchivioRegistri::trovaUnaVolta(const QString& codice, Righe& righe)
{
    righe = {};
    if (!registri_ || !testata_)
        return Esito::errore(erroreGenerico, u"tabella non aperta"_s);
    if (!coppia_)
        if (Esito e = preparaCoppia(); !e.ok())
            return e;
    QSqlQuery& q = coppia_->trova;
    q.bindValue(0, codice);
    q.bindValue(1, codice);
    if (!q.exec())
        return errore(q.lastError());
    if (q.next()) {
        const int n = static_cast<int>(colonneRegistri().size());
        if (coppia_->registro.isEmpty()) {
            // The columns of each row, split once; every look-up fills in its values.
            const QSqlRecord tutta = q.record();
            for (int i = 0; i < tutta.count(); ++i)
                (i < n ? coppia_->registro : coppia_->testata).append(tutta.field(i));
        }
        for (auto [riga, vuota, primo] :
             {std::tuple{&righe.registro, &coppia_->registro, 0}, std::tuple{&righe.testata, &coppia_->testata, n}}) {
            if (q.isNull(primo))
                continue;
            QSqlRecord& r = riga->emplace(*vuota);
            for (int i = 0; i < r.count(); ++i)
                r.setValue(i, q.value(primo + i));
        }
    }
    const bool letto = !q.lastError().isValid();
    q.finish();
    return letto ? Esito{} : errore(q.lastError());
}

Esito ArchivioRegistri::righeAttuali(const QString& codice, Righe* righe)
{
    if (!coppia_)
        if (Esito e = preparaCoppia(); !e.ok())
            return e;
    if (!sqlite(database().driver())) {
        QSqlQuery& q = coppia_->blocca;
        q.bindValue(0, codice);
        if (!q.exec())
            return errore(q.lastError());
        q.finish();
    }
    return righe ? trovaUnaVolta(codice, *righe) : Esito{};
}

ArchivioRegistri::EsitoScrittura ArchivioRegistri::iniziaScrittura()
{
    // The tables need not be open: the statements are prepared on the first write.
    if (!registri_)
        if (Esito e = prepara(registri_, true); !e.ok())
            return {e, Fase::Registro};
    if (!testata_)
        if (Esito e = prepara(testata_, false); !e.ok())
            return {e, Fase::Testata};
    if (Esito e = Storico::prepara(database(), storico_); !e.ok())
        return {e, Fase::Registro};
    return {inizia(database(), inizio_), Fase::Registro};
}

ArchivioRegistri::EsitoScrittura ArchivioRegistri::annulla(const Esito& e, Fase fase)
{
    database().rollback();
    return {e, fase};
}

ArchivioRegistri::EsitoScrittura ArchivioRegistri::scriviUnaVolta(const Registro& registro,
                                                                  const TestataRegistro& testata, const Righe* mostrate,
                                                                  bool ripetuta)
{
    if (EsitoScrittura e = iniziaScrittura(); !e.esito.ok())
        return e;
    QSqlDatabase db = database();
    Righe prima;
    if (Esito e = righeAttuali(registro.SspCodice, mostrate ? &prima : nullptr); !e.ok())
        return annulla(e, Fase::Registro);
    const bool cambiate = mostrate && !uguali(prima, *mostrate);
    if (cambiate && !ripetuta)
        return annulla(Esito::errore(erroreCambiato, testi::registroCambiato), Fase::Registro);
    const QVariantList valoriR = valoriRegistro(registro), valoriT = valoriTestata(registro.SspCodice, testata);
    QSqlError err;
    if (!(mostrate ? storico_->prima(prima.registro.has_value()) : storico_->prima(registro.SspCodice, err)))
        return annulla(errore(err), Fase::Registro);
    if (!esegui(registri_->scrivi, valoriR))
        return annulla(errore(registri_->scrivi.lastError()), Fase::Registro);
    if (!esegui(testata_->scrivi, valoriT))
        return annulla(errore(testata_->scrivi.lastError()), Fase::Testata);
    if (cambiate) {
        // Repeated on a new connection: rows that this save leaves as they are were written by
        // its first attempt, whose commit went through unreported, with its history row; any others by another clerk.
        Righe dopo;
        if (Esito e = trovaUnaVolta(registro.SspCodice, dopo); !e.ok())
            return annulla(e, Fase::Testata);
        if (!uguali(prima, dopo))
            return annulla(Esito::errore(erroreCambiato, testi::registroCambiato), Fase::Registro);
    } else if (!storico_->salvato(valoriR, valoriT, err)) {
        return annulla(errore(err), Fase::Testata);
    }
    if (!db.commit())
        return annulla(errore(db.lastError()), Fase::Testata);
    return {};
}

ArchivioRegistri::EsitoScrittura ArchivioRegistri::eliminaUnaVolta(const QString& codice, const Righe* mostrate,
                                                                   bool ripetuta)
{
    if (EsitoScrittura e = iniziaScrittura(); !e.esito.ok())
        return e;
    Righe prima;
    if (Esito e = righeAttuali(codice, mostrate ? &prima : nullptr); !e.ok())
        return annulla(e, Fase::Registro);
    // Both rows gone on a repeat is the first attempt's delete, committed unreported.
    const bool giaEliminato = ripetuta && !prima.registro && !prima.testata;
    if (mostrate && !uguali(prima, *mostrate) && !giaEliminato)
        return annulla(Esito::errore(erroreCambiato, testi::registroCambiato), Fase::Registro);
    if (QSqlError err; !storico_->comeOra(codice, opCancellazione, err))
        return annulla(errore(err), Fase::Registro);
    for (auto [istruzioni, parte] : {std::pair{&*registri_, Fase::Registro}, std::pair{&*testata_, Fase::Testata}}) {
        QSqlQuery& q = istruzioni->elimina;
        q.bindValue(0, codice);
        if (!q.exec())
            return annulla(errore(q.lastError()), parte);
    }
    if (!database().commit())
        return annulla(errore(database().lastError()), Fase::Testata);
    return {};
}

bool ArchivioRegistri::ripristina()
{
    if (!connessionePersa(database(), posizione_))
        return false;
    const bool registri = registriAperti_;
    const bool testata = testataAperta_;
    if (!apriDatabase(posizione_, attesaMs_).ok())
        return false;
    return (!registri || apriRegistri().ok()) && (!testata || apriTestata().ok());
}

// Once more on a new connection when the server dropped the old one: a restart of the server or a
// broken network must not leave the window failing until it is closed. Every write is an upsert or
// a delete by key, so repeating one whose commit was lost on the way changes nothing; the repeat
// is told so, as it finds the rows its first attempt wrote.
ArchivioRegistri::EsitoScrittura ArchivioRegistri::riprovando(const std::function<EsitoScrittura(bool)>& operazione)
{
    const auto avvisata = attesa(inAttesa);
    EsitoScrittura esito = operazione(false);
    if (!esito.esito.ok() && esito.esito.numero != erroreCambiato && ripristina())
        esito = operazione(true);
    return esito;
}

Esito ArchivioRegistri::trova(const QString& codice, Righe& righe)
{
    return riprovando([&](bool) -> EsitoScrittura { return {trovaUnaVolta(codice, righe)}; }).esito;
}

ArchivioRegistri::EsitoScrittura ArchivioRegistri::scrivi(const Registro& registro, const TestataRegistro& testata,
                                                          const Righe* mostrate)
{
    return riprovando([&](bool ripetuta) { return scriviUnaVolta(registro, testata, mostrate, ripetuta); });
}

Esito ArchivioRegistri::elimina(const QString& codice, Fase* fase, const Righe* mostrate)
{
    const EsitoScrittura e = riprovando([&](bool ripetuta) { return eliminaUnaVolta(codice, mostrate, ripetuta); });
    if (fase)
        *fase = e.fase;
    return e.esito;
}

Esito ArchivioRegistri::leggi(const QString& sql, const QVariantList& valori,
                              const std::function<void(const QSqlQuery&)>& riga)
{
    const auto unaVolta = [&](bool) -> EsitoScrittura {
        QSqlQuery q(database());
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            return {errore(q.lastError())};
        for (int i = 0; i < valori.size(); ++i)
            q.bindValue(i, valori.at(i));
        if (!q.exec())
            return {errore(q.lastError())};
        while (q.next())
            riga(q);
        return {q.lastError().isValid() ? errore(q.lastError()) : Esito{}};
    };
    return riprovando(unaVolta).esito;
}

} // namespace store
