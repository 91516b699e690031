#include "store/archivioregistri.h"

#include "store/colonne.h"
#include "store/posizione.h"
#include "store/registro.h"
#include "store/testi.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>

namespace store {

using namespace Qt::StringLiterals;

namespace {

QString quota(const QSqlDriver* d, QLatin1StringView nome, QSqlDriver::IdentifierType tipo = QSqlDriver::FieldName)
{
    return d->escapeIdentifier(nome, tipo);
}

bool sqlite(const QSqlDriver* d) { return d->dbmsType() == QSqlDriver::SQLite; }

// The whole of one store operation, for whoever shows that the program may be waiting.
class Attesa final {
    Q_DISABLE_COPY_MOVE(Attesa)
public:
    explicit Attesa(const std::function<void(bool)>& avvisa) : avvisa_(avvisa)
    {
        if (avvisa_)
            avvisa_(true);
    }
    ~Attesa()
    {
        if (avvisa_)
            avvisa_(false);
    }

private:
    const std::function<void(bool)>& avvisa_;
};

} // namespace

QString tipoSql(const QSqlDriver* d, const Colonna& c)
{
    switch (c.tipo) {
    // Codes and descriptions compare without regard to case, as the office has always typed them:
    // NOCASE folds ASCII only and then compares bytes; citext in the "C" collation does the same.
    case Tipo::Testo:
        if (!sqlite(d))
            return u"CITEXT COLLATE \"C\""_s;
        return u"VARCHAR(%1) COLLATE NOCASE"_s.arg(c.lunghezza > 0 ? c.lunghezza : 255);
    case Tipo::Intero16: return u"SMALLINT"_s;
    case Tipo::Intero32: return u"INTEGER"_s;
    case Tipo::Booleano: return u"BOOLEAN"_s;
    case Tipo::Reale: return u"DOUBLE PRECISION"_s;
    }
    return {};
}

namespace {

QString creaTabella(const QSqlDriver* d, QLatin1StringView tabella, std::span<const Colonna> colonne)
{
    QStringList righe;
    for (const Colonna& c : colonne) {
        QString r = quota(d, c.nome) + u' ' + tipoSql(d, c);
        if (&c == &colonne.front())
            r += u" NOT NULL PRIMARY KEY"_s;
        righe << r;
    }
    return u"CREATE TABLE "_s + quota(d, tabella, QSqlDriver::TableName) + u" ("_s + righe.join(u", "_s) + u')';
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

QString sqlCreaRegistri(const QSqlDriver* d) { return creaTabella(d, tabellaRegistri, colonneRegistri()); }
QString sqlCreaTestata(const QSqlDriver* d) { return creaTabella(d, tabellaTestata, colonneTestata()); }

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

bool ArchivioRegistri::vecchioFormato(const QString& percorso)
{
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray testa = f.read(32);
    return testa.mid(4).startsWith("Standard Jet DB") || testa.mid(4).startsWith("Standard ACE DB");
}

// The connection of this store with the driver asked for; one of another driver is replaced.
QSqlDatabase ArchivioRegistri::connessione(const QString& driver)
{
    if (QSqlDatabase::contains(nome_)) {
        QSqlDatabase db = QSqlDatabase::database(nome_, false);
        db.close();
        if (db.driverName() == driver)
            return db;
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nome_);
    }
    return QSqlDatabase::addDatabase(driver, nome_);
}

Esito ArchivioRegistri::apriDatabase(const QString& percorso, int attesaMs)
{
    const Attesa attesa(inAttesa);
    chiudi();
    vecchio_ = motorePronto_ = false;
    posizione_ = percorso;
    attesaMs_ = attesaMs;
    if (const std::optional<Server> s = server(percorso))
        return apriServer(*s, attesaMs);
    const QFileInfo info(percorso);
    if (!info.isFile())
        return Esito::errore(erroreGenerico, u"archivio inesistente: "_s + percorso);
    vecchio_ = vecchioFormato(percorso);
    QSqlDatabase db = connessione(u"QSQLITE"_s);
    if (vecchio_)
        return {};  // the table opening reports it, and the file is never handed to SQLite
    // mode=rw: a file removed since the check above is reported, never created empty.
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) + u"?mode=rw"_s);
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_URI"_s.arg(attesaMs));
    if (!db.open())
        return errore(db.lastError());
    // Not waited for here: with the file held by another user, the table opening waits once.
    attendi(0);
    impostaMotore();
    attendi(attesaMs);
    return {};
}

// Rollback journal and full sync: safe on a shared folder and after a power cut.
bool ArchivioRegistri::impostaMotore()
{
    QSqlQuery q(database());
    motorePronto_ = q.exec(u"PRAGMA journal_mode=DELETE"_s) && q.exec(u"PRAGMA synchronous=FULL"_s);
    return motorePronto_;
}

Esito ArchivioRegistri::attendi(int ms)
{
    QSqlQuery q(database());
    if (sqlite(database().driver())) {
        if (!q.exec(u"PRAGMA busy_timeout = %1"_s.arg(ms)))
            return errore(q.lastError());
        return {};
    }
    if (!q.prepare(u"SELECT set_config('lock_timeout', ?, false)"_s))
        return errore(q.lastError());
    q.bindValue(0, QString::number(ms));
    if (!q.exec())
        return errore(q.lastError());
    return {};
}

Esito ArchivioRegistri::apriServer(const Server& s, int attesaMs)
{
    QSqlDatabase db = connessione(u"QPSQL"_s);
    if (!db.isValid())
        return Esito::errore(erroreGenerico, u"driver QPSQL non disponibile"_s);
    bool numero = true;
    const int porta = s.porta.isEmpty() ? -1 : s.porta.toInt(&numero);
    if (!numero)
        return Esito::errore(erroreGenerico, u"porta non valida: "_s + s.porta);
    db.setHostName(s.host);
    db.setPort(porta);
    db.setUserName(s.utente);
    db.setPassword(QString());  // libpq finds it: ~/.pgpass, PGPASSFILE, peer or certificate
    db.setDatabaseName(s.nome);
    // A server that does not answer is reported as a missing company, not waited for; the address's
    // own parameters come after, and libpq takes the last value of a parameter given twice.
    QStringList opzioni{u"connect_timeout=5"_s, u"application_name=pemtarx"_s};
    static const QRegularExpression nomeParametro(u"^[a-z_]+$"_s);
    for (const QString& opzione : s.opzioni) {
        const QString chiave = opzione.section(u'=', 0, 0);
        QString valore = opzione.section(u'=', 1);
        // Qt splits the options at ";", so a value holding one could not reach libpq whole.
        if (!nomeParametro.match(chiave).hasMatch() || valore.contains(u';'))
            return Esito::errore(erroreGenerico, u"parametro non valido: "_s + opzione);
        valore.replace(u"\\"_s, u"\\\\"_s).replace(u"'"_s, u"\\'"_s);
        opzioni << chiave + u"='"_s + valore + u'\'';
    }
    db.setConnectOptions(opzioni.join(u';'));
    if (!db.open())
        return errore(db.lastError());
    // A row or table held by another clerk's transaction is waited for this long, then reported;
    // the server's notices would reach the clerk's terminal through libpq.
    QSqlQuery q(db);
    if (!q.prepare(
            u"SELECT set_config('lock_timeout', ?, false), set_config('client_min_messages', 'warning', false)"_s)) {
        const Esito e = errore(q.lastError());
        db.close();
        return e;
    }
    q.bindValue(0, QString::number(attesaMs));
    if (!q.exec()) {
        const Esito e = errore(q.lastError());
        db.close();
        return e;
    }
    return {};
}

Esito ArchivioRegistri::errore(const QSqlError& e) const { return esitoSql(e, database().driver()); }

Esito esitoSql(const QSqlError& e) { return esitoSql(e, nullptr); }

namespace {

// The server's message without its severity, its SQLSTATE suffix and its detail lines.
QString testoServer(const QSqlError& e)
{
    QString t = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    t = t.section(u'\n', 0, 0).trimmed();
    for (const QString& livello : {u"ERROR:"_s, u"FATAL:"_s, u"ERRORE:"_s})
        if (t.startsWith(livello))
            t = t.mid(livello.size()).trimmed();
    const QString codice = u'(' + e.nativeErrorCode() + u')';
    if (!e.nativeErrorCode().isEmpty() && t.endsWith(codice))
        t.chop(codice.size());
    return t.trimmed();
}

} // namespace

Esito esitoSql(const QSqlError& e, const QSqlDriver* d)
{
    if (d && !sqlite(d)) {
        const QString testo = testoServer(e);
        // lock_not_available: lock_timeout ran out on a table or row another clerk holds.
        if (e.nativeErrorCode() == u"55P03"_s)
            return Esito::errore(erroreBloccata, testo);
        return Esito::errore(erroreGenerico, testo.isEmpty() ? u"errore sconosciuto"_s : testo);
    }
    // Without extended codes the low byte is SQLite's primary result code.
    const int codice = e.nativeErrorCode().toInt() & 0xff;
    const QString testo = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    // SQLITE_BUSY and SQLITE_LOCKED: the table is held by another user.
    if (codice == 5 || codice == 6)
        return Esito::errore(erroreBloccata, testo);
    if (codice == 26)  // SQLITE_NOTADB
        return Esito::errore(erroreNonArchivio, testo);
    if (codice == 11)  // SQLITE_CORRUPT
        return Esito::errore(erroreDanneggiato, testo);
    return Esito::errore(erroreGenerico, testo.isEmpty() ? u"errore sconosciuto"_s : testo);
}

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

Esito ArchivioRegistri::apri(std::optional<Istruzioni>& istruzioni, bool registri)
{
    if (vecchio_)
        return Esito::errore(erroreVecchioFormato, u"archivio del vecchio formato"_s);
    attendi(std::min(attesaMs_, attesaAperturaMs));
    const auto fine = qScopeGuard([this] { attendi(attesaMs_); });
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
    if (!motorePronto_ && sqlite(database().driver()))
        impostaMotore();
    return {};
}

Esito ArchivioRegistri::apriRegistri()
{
    registriAperti_ = false;
    const Attesa attesa(inAttesa);
    const Esito e = apri(registri_, true);
    registriAperti_ = e.ok();
    return e;
}

Esito ArchivioRegistri::apriTestata()
{
    testataAperta_ = false;
    const Attesa attesa(inAttesa);
    const Esito e = apri(testata_, false);
    testataAperta_ = e.ok();
    return e;
}

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

Esito ArchivioRegistri::inizia()
{
    QSqlDatabase db = database();
    if (!sqlite(db.driver())) {
        if (!db.transaction())
            return errore(db.lastError());
        return {};
    }
    // Take the write lock at the start: a read lock upgraded halfway could fail without waiting.
    if (!inizio_) {
        inizio_.emplace(db);
        if (!inizio_->prepare(u"BEGIN IMMEDIATE"_s)) {
            const Esito e = errore(inizio_->lastError());
            inizio_.reset();
            return e;
        }
    }
    if (!inizio_->exec())
        return errore(inizio_->lastError());
    return {};
}

ArchivioRegistri::EsitoScrittura ArchivioRegistri::scriviUnaVolta(const Registro& registro, const TestataRegistro& testata,
                                                            const Righe* mostrate, bool ripetuta)
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
    if (Esito e = inizia(); !e.ok())
        return {e, Fase::Registro};
    QSqlDatabase db = database();
    const auto annulla = [&](const Esito& e, Fase fase) {
        db.rollback();
        return EsitoScrittura{e, fase};
    };
    Righe prima;
    if (Esito e = righeAttuali(registro.SspCodice, mostrate ? &prima : nullptr); !e.ok())
        return annulla(e, Fase::Registro);
    const bool cambiate = mostrate && !uguali(prima, *mostrate);
    if (cambiate && !ripetuta)
        return annulla(Esito::errore(erroreCambiato, testi::registroCambiato), Fase::Registro);
    QSqlError err;
    Fase fase = Fase::Registro;
    bool ok = mostrate ? storico_->prima(prima.registro.has_value()) : storico_->prima(registro.SspCodice, err);
    const QVariantList valoriR = valoriRegistro(registro), valoriT = valoriTestata(registro.SspCodice, testata);
    if (ok && !(ok = esegui(registri_->scrivi, valoriR)))
        err = registri_->scrivi.lastError();
    if (ok) {
        fase = Fase::Testata;
        ok = esegui(testata_->scrivi, valoriT);
        if (!ok)
            err = testata_->scrivi.lastError();
    }
    bool giaScritto = false;
    if (ok && cambiate) {
        // Repeated on a new connection: rows that this save leaves as they are were written by
        // its first attempt, whose commit went through unreported; any others by another clerk.
        Righe dopo;
        if (Esito e = trovaUnaVolta(registro.SspCodice, dopo); !e.ok())
            return annulla(e, Fase::Testata);
        if (!uguali(prima, dopo))
            return annulla(Esito::errore(erroreCambiato, testi::registroCambiato), Fase::Registro);
        giaScritto = true;  // with its history row
    }
    if (ok && !giaScritto)
        ok = storico_->salvato(valoriR, valoriT, err);
    if (ok && !db.commit()) {
        err = db.lastError();
        ok = false;
    }
    if (!ok)
        return annulla(errore(err), fase);
    return {};
}

Esito ArchivioRegistri::eliminaUnaVolta(const QString& codice, Fase* fase, const Righe* mostrate, bool ripetuta)
{
    const auto fallita = [fase](Fase parte, const Esito& e) {
        if (fase)
            *fase = parte;
        return e;
    };
    if (!registri_)
        if (Esito e = prepara(registri_, true); !e.ok())
            return fallita(Fase::Registro, e);
    if (!testata_)
        if (Esito e = prepara(testata_, false); !e.ok())
            return fallita(Fase::Testata, e);
    if (Esito e = Storico::prepara(database(), storico_); !e.ok())
        return fallita(Fase::Registro, e);
    if (Esito e = inizia(); !e.ok())
        return fallita(Fase::Registro, e);
    QSqlDatabase db = database();
    Righe prima;
    if (Esito e = righeAttuali(codice, mostrate ? &prima : nullptr); !e.ok()) {
        db.rollback();
        return fallita(Fase::Registro, e);
    }
    // Both rows gone on a repeat is the first attempt's delete, committed unreported.
    const bool giaEliminato = ripetuta && !prima.registro && !prima.testata;
    if (mostrate && !uguali(prima, *mostrate) && !giaEliminato) {
        db.rollback();
        return fallita(Fase::Registro, Esito::errore(erroreCambiato, testi::registroCambiato));
    }
    if (QSqlError err; !storico_->comeOra(codice, opCancellazione, err)) {
        db.rollback();
        return fallita(Fase::Registro, errore(err));
    }
    for (auto [istruzioni, parte] : {std::pair{&*registri_, Fase::Registro}, std::pair{&*testata_, Fase::Testata}}) {
        QSqlQuery& q = istruzioni->elimina;
        q.bindValue(0, codice);
        if (!q.exec()) {
            const Esito e = errore(q.lastError());
            db.rollback();
            return fallita(parte, e);
        }
    }
    if (!db.commit()) {
        const Esito e = errore(db.lastError());
        db.rollback();
        return fallita(Fase::Testata, e);
    }
    return fallita(Fase::Nessuna, {});
}

Esito ArchivioRegistri::leggiUnaVolta(const QString& sql, const QVariantList& valori,
                                  const std::function<void(const QSqlQuery&)>& riga)
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return errore(q.lastError());
    for (int i = 0; i < valori.size(); ++i)
        q.bindValue(i, valori.at(i));
    if (!q.exec())
        return errore(q.lastError());
    while (q.next())
        riga(q);
    if (q.lastError().isValid())
        return errore(q.lastError());
    return {};
}

namespace {

const Esito& esitoDi(const Esito& e) { return e; }

const Esito& esitoDi(const ArchivioRegistri::EsitoScrittura& e) { return e.esito; }

} // namespace

bool ArchivioRegistri::ripristina()
{
    if (!server(posizione_))
        return false;
    {
        // A connection that still answers failed for a reason of the statement's own.
        QSqlQuery prova(database());
        if (prova.exec(u"SELECT 1"_s))
            return false;
    }
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
template <typename F>
auto ArchivioRegistri::riprovando(F&& operazione)
{
    const Attesa attesa(inAttesa);
    auto esito = operazione(false);
    if (!esitoDi(esito).ok() && esitoDi(esito).numero != erroreCambiato && ripristina())
        esito = operazione(true);
    return esito;
}

Esito ArchivioRegistri::trova(const QString& codice, Righe& righe)
{
    return riprovando([&](bool) { return trovaUnaVolta(codice, righe); });
}

ArchivioRegistri::EsitoScrittura ArchivioRegistri::scrivi(const Registro& registro, const TestataRegistro& testata,
                                                    const Righe* mostrate)
{
    return riprovando([&](bool ripetuta) { return scriviUnaVolta(registro, testata, mostrate, ripetuta); });
}

Esito ArchivioRegistri::elimina(const QString& codice, Fase* fase, const Righe* mostrate)
{
    return riprovando([&](bool ripetuta) { return eliminaUnaVolta(codice, fase, mostrate, ripetuta); });
}

Esito ArchivioRegistri::leggi(const QString& sql, const QVariantList& valori,
                           const std::function<void(const QSqlQuery&)>& riga)
{
    return riprovando([&](bool) { return leggiUnaVolta(sql, valori, riga); });
}

namespace {

// Whether the effective user may write `percorso`, as the engine will try it; root passes by the
// kernel's own rule, a read-only mount does not.
QString accessoScrittura(const QString& percorso, const QString& cosa, int modo)
{
    if (::faccessat(AT_FDCWD, QFile::encodeName(percorso).constData(), modo, AT_EACCESS) == 0)
        return {};
    const int codice = errno;
    if (codice == EROFS)
        return testi::soloLettura.arg(percorso);
    if (codice == EACCES || codice == EPERM)
        return testi::permessoNegato.arg(percorso, utenteSistema(), cosa);
    return testi::erroreAccesso.arg(percorso).arg(codice);
}

} // namespace

Esito ArchivioRegistri::verificaScrittura()
{
    QSqlDatabase db = database();
    if (server(posizione_)) {
        QSqlQuery q(db);
        if (!q.prepare(
                u"SELECT current_user, current_setting('transaction_read_only'), has_table_privilege(?, 'INSERT'), "
                u"has_table_privilege(?, 'UPDATE'), has_table_privilege(?, 'DELETE')"_s))
            return errore(q.lastError());
        for (QLatin1StringView tabella : {tabellaRegistri, tabellaTestata}) {
            const QString nome = quota(db.driver(), tabella, QSqlDriver::TableName);
            for (int i = 0; i < 3; ++i)
                q.bindValue(i, nome);
            if (!q.exec() || !q.next())
                return errore(q.lastError());
            if (q.value(1).toString() == u"on"_s)
                return Esito::errore(erroreSolaLettura, testi::databaseSolaLettura.arg(db.databaseName()));
            QStringList mancanti;
            for (int i = 0; i < 3; ++i)
                if (!q.value(2 + i).toBool())
                    mancanti << QStringList{u"INSERT"_s, u"UPDATE"_s, u"DELETE"_s}.at(i);
            if (!mancanti.isEmpty())
                return Esito::errore(erroreSolaLettura, testi::ruoloSenzaPermessi.arg(q.value(0).toString(),
                                                                                      mancanti.join(u", "_s), tabella));
            q.finish();
        }
        return {};
    }
    const QFileInfo file(posizione_);
    // The engine writes its journal beside the file, so the folder must take new files too.
    for (const auto& [percorso, cosa, modo] : {std::tuple{file.absoluteFilePath(), testi::ilFile, W_OK},
                                               std::tuple{file.absolutePath(), testi::laCartella, W_OK | X_OK}})
        if (const QString perche = accessoScrittura(percorso, cosa, modo); !perche.isEmpty())
            return Esito::errore(erroreSolaLettura, perche);
    return {};
}

Esito ArchivioRegistri::creaTabelle(QSqlDatabase& db)
{
    const QSqlDriver* d = db.driver();
    const QString descrizione = quota(d, "SspDescrizione"_L1);
    const QString indice = u"CREATE INDEX "_s + quota(d, "SspDescrizioneIdx"_L1, QSqlDriver::TableName) +
                           u" ON "_s + quota(d, tabellaRegistri, QSqlDriver::TableName) + u" ("_s + descrizione +
                           u", "_s + quota(d, "SspCodice"_L1) + u')';
    QStringList istruzioni{sqlCreaRegistri(d), sqlCreaTestata(d), indice};
    QSqlQuery q(db);
    if (!sqlite(d)) {
        // Texts sort by their UTF-8 bytes as in the file; another encoding would order them otherwise.
        if (!q.exec(u"SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE datname = current_database()"_s) ||
            !q.next())
            return esitoSql(q.lastError(), d);
        if (const QString codifica = q.value(0).toString(); codifica != u"UTF8"_s)
            return Esito::errore(erroreGenerico, u"il database è in %1, non in UTF8"_s.arg(codifica));
        q.finish();
        // citext is a trusted extension: the owner of the company's database may add it.
        istruzioni.prepend(u"CREATE EXTENSION IF NOT EXISTS citext"_s);
    }
    for (const QString& sql : istruzioni)
        if (!q.exec(sql))
            return esitoSql(q.lastError(), d);
    return creaStorico(db);
}

Esito ArchivioRegistri::creaSchema(QSqlDatabase& db)
{
    if (!db.transaction())
        return esitoSql(db.lastError(), db.driver());
    if (Esito e = creaTabelle(db); !e.ok()) {
        db.rollback();
        return e;
    }
    if (!db.commit())
        return esitoSql(db.lastError(), db.driver());
    return {};
}

Esito ArchivioRegistri::crea(const QString& percorso)
{
    if (server(percorso))
        return creaSuServer(percorso);
    if (QFileInfo::exists(percorso))
        return Esito::errore(erroreGenerico, u"il file esiste già: "_s + percorso);
    const QString nome = u"pemtarx-crea-"_s + percorso;
    Esito esito;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nome);
        db.setDatabaseName(percorso);
        if (!db.open()) {
            esito = Esito::errore(erroreGenerico, db.lastError().text());
        } else {
            QSqlQuery(db).exec(u"PRAGMA journal_mode=DELETE"_s);
            esito = creaSchema(db);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(nome);
    if (!esito.ok())
        QFile::remove(percorso);
    return esito;
}

Esito ArchivioRegistri::creaSuServer(const QString& indirizzo)
{
    ArchivioRegistri archivio(u"pemtarx-crea-"_s + indirizzo);
    if (Esito e = archivio.apriDatabase(indirizzo); !e.ok())
        return e;
    QSqlDatabase db = archivio.database();
    // As an existing file is never overwritten, a database that has either table is left alone.
    const QStringList presenti = db.tables();
    for (QLatin1StringView t : {tabellaRegistri, tabellaTestata})
        if (presenti.contains(t, Qt::CaseInsensitive))
            return Esito::errore(erroreEsistente, u"tabella già presente: "_s + t);
    return creaSchema(db);
}

} // namespace store
