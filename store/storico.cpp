#include "store/storico.h"

#include "store/columns.h"
#include "store/registerstore.h"

#include <QSqlDriver>
#include <QStringList>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace store {

using namespace Qt::StringLiterals;

namespace {

bool sqlite(const QSqlDriver* d) { return d->dbmsType() == QSqlDriver::SQLite; }

QString quota(const QSqlDriver* d, QLatin1StringView nome, QSqlDriver::IdentifierType tipo = QSqlDriver::FieldName)
{
    return d->escapeIdentifier(nome, tipo);
}

QString tabella(const QSqlDriver* d, QLatin1StringView nome) { return quota(d, nome, QSqlDriver::TableName); }

QString elenco(const QSqlDriver* d, std::span<const Colonna> colonne, const QString& prefisso = {})
{
    QStringList nomi;
    for (const Colonna& c : colonne)
        nomi << prefisso + quota(d, c.nome);
    return nomi.join(u", "_s);
}

// The columns a history row copies: both tables', after its own five.
std::span<const Colonna> copiate() { return colonneStorico().subspan(colonneProprieStorico); }

// The login name of the operating system's user, which the environment cannot change.
QString utenteSistema()
{
    if (const passwd* p = getpwuid(geteuid()); p && p->pw_name)
        return QString::fromLocal8Bit(p->pw_name);
    return qEnvironmentVariable("USER");
}

// The engine's clock in UTC to the millisecond: on a server, one clock for every clerk.
QString adesso(const QSqlDriver* d)
{
    if (sqlite(d))
        return u"strftime('%Y-%m-%dT%H:%M:%fZ', 'now')"_s;
    return u"to_char(statement_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')"_s;
}

// The clerk, bound; on a server followed by the role the server knows them by.
QString utente(const QSqlDriver* d)
{
    if (sqlite(d))
        return u"?"_s;
    return u"CAST(? AS TEXT) || ' (' || session_user || ')'"_s;
}

QString intestazione(const QSqlDriver* d)
{
    return u"INSERT INTO "_s + tabella(d, tabellaStorico) + u" ("_s +
           elenco(d, colonneStorico().subspan(1)) + u") "_s;
}

// Both rows of a code as they stand, or its heading alone when the register row is missing; the
// operation is `operazione`, an SQL expression of the statement's fourth value.
QString sqlComeOra(const QSqlDriver* d, const QString& operazione)
{
    const QString r = tabella(d, tabellaRegistri), t = tabella(d, tabellaTestata);
    const QString kr = u"r."_s + quota(d, colonneRegistri().front().nome);
    const QString kt = u"t."_s + quota(d, colonneTestata().front().nome);
    QStringList nulli(qsizetype(colonneRegistri().size()), u"NULL"_s);
    return intestazione(d) + u"SELECT "_s + adesso(d) + u", "_s + utente(d) + u", ?, "_s + operazione + u", "_s +
           elenco(d, copiate(), u"x."_s) + u" FROM (SELECT "_s + elenco(d, colonneRegistri(), u"r."_s) + u", "_s +
           elenco(d, colonneTestata(), u"t."_s) + u" FROM "_s + r + u" r LEFT JOIN "_s + t + u" t ON "_s + kt +
           u" = "_s + kr + u" WHERE "_s + kr + u" = ? UNION ALL SELECT "_s + nulli.join(u", "_s) + u", "_s +
           elenco(d, colonneTestata(), u"t."_s) + u" FROM "_s + t + u" t WHERE "_s + kt +
           u" = ? AND NOT EXISTS (SELECT 1 FROM "_s + r + u" r WHERE "_s + kr + u" = "_s + kt + u")) x"_s;
}

// A save changes a register that was there before it, or whose latest history row is not its
// deletion: the row another clerk inserted while this save waited for it.
QString operazioneSalvataggio(const QSqlDriver* d)
{
    const QString s = tabella(d, tabellaStorico), k = quota(d, colonneRegistri().front().nome);
    const QString n = quota(d, colonneStorico().front().nome), op = quota(d, colonneStorico()[4].nome);
    return u"CASE WHEN ? = 1 OR EXISTS (SELECT 1 FROM "_s + s + u" h WHERE h."_s + n + u" = (SELECT MAX("_s + n +
           u") FROM "_s + s + u" WHERE "_s + k + u" = ?) AND h."_s + op +
           u" <> 'CANCELLAZIONE') THEN 'VARIAZIONE' ELSE 'INSERIMENTO' END"_s;
}

// Whether the register is there; on a server its row stays locked to the end of the transaction, so
// the history rows of one code are numbered in the order their writes commit.
QString sqlPrima(const QSqlDriver* d)
{
    const QString k = quota(d, colonneRegistri().front().nome);
    return u"SELECT 1 FROM "_s + tabella(d, tabellaRegistri) + u" WHERE "_s + k + u" = ?"_s +
           (sqlite(d) ? QString() : u" FOR UPDATE"_s);
}

QVariant legabile(const QVariant& v)
{
    // Empty texts reach the table as empty texts, as the save binds them.
    if (v.typeId() == QMetaType::QString && v.toString().isNull())
        return QVariant(u""_s);
    return v;
}

bool esegui(QSqlQuery& q, const QVariantList& valori, QSqlError& errore)
{
    for (int i = 0; i < valori.size(); ++i)
        q.bindValue(i, legabile(valori.at(i)));
    if (q.exec())
        return true;
    errore = q.lastError();
    return false;
}

} // namespace

bool haStorico(const QSqlDatabase& db) { return db.tables().contains(tabellaStorico, Qt::CaseInsensitive); }

Esito creaStorico(QSqlDatabase& db)
{
    const QSqlDriver* d = db.driver();
    QStringList righe{quota(d, "StoNumero"_L1) + (sqlite(d) ? u" INTEGER PRIMARY KEY AUTOINCREMENT"_s
                                                            : u" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"_s)};
    for (const Colonna& c : colonneStorico().subspan(1))
        righe << quota(d, c.nome) + u' ' + tipoSql(d, c);
    const QStringList istruzioni{
        u"CREATE TABLE IF NOT EXISTS "_s + tabella(d, tabellaStorico) + u" ("_s + righe.join(u", "_s) + u')',
        u"CREATE INDEX IF NOT EXISTS "_s + tabella(d, "StoricoRegistriCodice"_L1) + u" ON "_s +
            tabella(d, tabellaStorico) + u" ("_s + quota(d, colonneRegistri().front().nome) + u", "_s +
            quota(d, colonneStorico().front().nome) + u')'};
    QSqlQuery q(db);
    for (const QString& sql : istruzioni)
        if (!q.exec(sql))
            return esitoSql(q.lastError(), d);
    if (sqlite(d))
        return {};
    // Every role that may write the registers may add to the history and read it, never change it.
    QStringList ruoli;
    q.setForwardOnly(true);
    if (!q.prepare(u"SELECT DISTINCT grantee FROM information_schema.role_table_grants WHERE table_schema = "
                   u"current_schema() AND table_name = ? AND privilege_type = 'INSERT' AND grantee <> current_user"_s))
        return esitoSql(q.lastError(), d);
    q.bindValue(0, QString(tabellaRegistri));
    if (!q.exec())
        return esitoSql(q.lastError(), d);
    while (q.next())
        ruoli << q.value(0).toString();
    for (const QString& ruolo : std::as_const(ruoli))
        if (!q.exec(u"GRANT SELECT, INSERT ON "_s + tabella(d, tabellaStorico) + u" TO "_s +
                    (ruolo == u"PUBLIC"_s ? ruolo : d->escapeIdentifier(ruolo, QSqlDriver::TableName))))
            return esitoSql(q.lastError(), d);
    return {};
}

Storico::Storico(const QSqlDatabase& db) : prima_(db), salvato_(db), comeOra_(db) {}

Esito Storico::prepara(QSqlDatabase db, std::optional<Storico>& storico)
{
    if (storico)
        return {};
    const QSqlDriver* d = db.driver();
    if (!haStorico(db)) {
        if (!db.transaction())
            return esitoSql(db.lastError(), d);
        Esito e = creaStorico(db);
        if (e.ok() && !db.commit())
            e = esitoSql(db.lastError(), d);
        if (!e.ok())
            db.rollback();
        // Another clerk's first save may have made it a moment ago.
        if (!e.ok() && !haStorico(db))
            return e;
    }
    storico.emplace(db);
    storico->prima_.setForwardOnly(true);
    for (auto [q, sql] : {std::pair{&storico->prima_, sqlPrima(d)},
                          std::pair{&storico->salvato_, sqlComeOra(d, operazioneSalvataggio(d))},
                          std::pair{&storico->comeOra_, sqlComeOra(d, u"?"_s)}}) {
        if (!q->prepare(sql)) {
            const Esito e = esitoSql(q->lastError(), d);
            storico.reset();
            return e;
        }
    }
    return {};
}

bool Storico::prima(const QString& codice, QSqlError& errore)
{
    if (!esegui(prima_, {codice}, errore))
        return false;
    esisteva_ = prima_.next();
    prima_.finish();
    return true;
}

bool Storico::salvato(const QString& codice, QSqlError& errore)
{
    return esegui(salvato_, {utenteSistema(), QSysInfo::machineHostName(), int(esisteva_), codice, codice, codice},
                  errore);
}

bool Storico::comeOra(const QString& codice, QLatin1StringView operazione, QSqlError& errore)
{
    return esegui(comeOra_, {utenteSistema(), QSysInfo::machineHostName(), QString(operazione), codice, codice},
                  errore);
}

Esito leggiStorico(RegisterStore& archivio, const std::optional<QString>& codice,
                   const std::function<void(const QVariantList&)>& riga)
{
    const QSqlDriver* d = archivio.database().driver();
    QString sql = u"SELECT "_s + elenco(d, colonneStorico()) + u" FROM "_s + tabella(d, tabellaStorico);
    QVariantList valori;
    if (codice) {
        sql += u" WHERE "_s + quota(d, colonneRegistri().front().nome) + u" = ? OR "_s +
               quota(d, colonneTestata().front().nome) + u" = ?"_s;
        valori = {*codice, *codice};
    }
    sql += u" ORDER BY "_s + quota(d, colonneStorico().front().nome);
    const qsizetype n = qsizetype(colonneStorico().size());
    return archivio.leggi(sql, valori, [&](const QSqlQuery& q) {
        QVariantList v;
        v.reserve(n);
        for (int i = 0; i < n; ++i)
            v << q.value(i);
        riga(v);
    });
}

namespace {

// Inserts the row of one table from history row `?`, or changes every column of the row with its key.
QString sqlRiporta(const QSqlDriver* d, QLatin1StringView nome, std::span<const Colonna> colonne)
{
    QStringList assegna;
    for (const Colonna& c : colonne)
        assegna << quota(d, c.nome) + u" = excluded."_s + quota(d, c.nome);
    // The WHERE keeps SQLite from reading ON CONFLICT as a join's ON.
    return u"INSERT INTO "_s + tabella(d, nome) + u" ("_s + elenco(d, colonne) + u") SELECT "_s + elenco(d, colonne) +
           u" FROM "_s + tabella(d, tabellaStorico) + u" WHERE "_s + quota(d, colonneStorico().front().nome) +
           u" = ? ON CONFLICT ("_s + quota(d, colonne.front().nome) + u") DO UPDATE SET "_s + assegna.join(u", "_s);
}

QString sqlElimina(const QSqlDriver* d, QLatin1StringView nome, std::span<const Colonna> colonne)
{
    return u"DELETE FROM "_s + tabella(d, nome) + u" WHERE "_s + quota(d, colonne.front().nome) + u" = ?"_s;
}

// One statement of the restore; false, with the engine's error, when it failed.
bool passo(QSqlDatabase& db, const QString& sql, const QVariantList& valori, QSqlError& errore,
           QVariantList* riga = nullptr)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        errore = q.lastError();
        return false;
    }
    if (!esegui(q, valori, errore))
        return false;
    if (riga && q.next())
        for (int i = 0; i < q.record().count(); ++i)
            *riga << q.value(i);
    return true;
}

} // namespace

Esito ripristina(RegisterStore& archivio, const QString& codice, qint64 numero, Ripristino& esito)
{
    esito = Ripristino::NumeroInesistente;
    QSqlDatabase db = archivio.database();
    const QSqlDriver* d = db.driver();
    if (!haStorico(db))
        return {};
    std::optional<Storico> storico;
    if (Esito e = Storico::prepara(db, storico); !e.ok())
        return e;
    // Take the write lock at the start, as a save does.
    if (sqlite(d) ? !QSqlQuery(db).exec(u"BEGIN IMMEDIATE"_s) : !db.transaction())
        return esitoSql(db.lastError(), d);
    const QString kr = quota(d, colonneRegistri().front().nome), kt = quota(d, colonneTestata().front().nome);
    const QString numeroSql = quota(d, colonneStorico().front().nome);
    QSqlError errore;
    QVariantList riga;
    bool ok = passo(db,
                    u"SELECT "_s + kr + u", "_s + kt + u", CASE WHEN "_s + kr + u" = ? OR "_s + kt +
                        u" = ? THEN 1 ELSE 0 END FROM "_s + tabella(d, tabellaStorico) + u" WHERE "_s + numeroSql +
                        u" = ?"_s,
                    {codice, codice, numero}, errore, &riga);
    if (ok && (riga.isEmpty() || riga.at(2).toInt() != 1)) {
        esito = riga.isEmpty() ? Ripristino::NumeroInesistente : Ripristino::AltroCodice;
        db.rollback();
        return {};
    }
    for (auto [nome, colonne, chiave] : {std::tuple{tabellaRegistri, colonneRegistri(), riga.value(0)},
                                         std::tuple{tabellaTestata, colonneTestata(), riga.value(1)}}) {
        // A row the history holds as missing is removed; any other is written back whole.
        if (ok)
            ok = chiave.isNull() ? passo(db, sqlElimina(d, nome, colonne), {codice}, errore)
                                 : passo(db, sqlRiporta(d, nome, colonne), {numero}, errore);
    }
    if (ok)
        ok = storico->comeOra(codice, opRipristino, errore);
    if (ok && !db.commit()) {
        errore = db.lastError();
        ok = false;
    }
    if (!ok) {
        db.rollback();
        return esitoSql(errore, d);
    }
    esito = Ripristino::Fatto;
    return {};
}

} // namespace store
