#include "store/controllo.h"

#include "store/colonne.h"
#include "store/archivioregistri.h"
#include "store/motore.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

namespace store {

using namespace Qt::StringLiterals;

bool Controllo::integro() const
{
    return tabelleMancanti.isEmpty() && colonneMancanti.isEmpty() && chiaviMancanti.isEmpty() &&
           integrita.isEmpty();
}

namespace {

struct Tabella {
    QLatin1StringView nome;
    std::span<const Colonna> colonne;
};

// Runs one statement of the store's own text and hands over the first column of every row.
bool colonna(QSqlDatabase& db, const QString& sql, QStringList& valori, QSqlError& err)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        err = q.lastError();
        return false;
    }
    while (q.next())
        valori << q.value(0).toString();
    err = q.lastError();
    return !err.isValid();
}

// Keys of `da` that `verso` has no row for.
QString sqlSenzaCompagna(const QSqlDriver* d, const Tabella& da, const Tabella& verso)
{
    const QString a = quota(d, da.nome, QSqlDriver::TableName);
    const QString b = quota(d, verso.nome, QSqlDriver::TableName);
    const QString ka = a + u'.' + quota(d, da.colonne.front().nome, QSqlDriver::FieldName);
    const QString kb = b + u'.' + quota(d, verso.colonne.front().nome, QSqlDriver::FieldName);
    return u"SELECT "_s + ka + u" FROM "_s + a + u" LEFT JOIN "_s + b + u" ON "_s + kb + u" = "_s + ka +
           u" WHERE "_s + kb + u" IS NULL ORDER BY "_s + ka;
}

QString sqlConta(const QSqlDriver* d, const Tabella& t)
{
    return u"SELECT COUNT(*) FROM "_s + quota(d, t.nome, QSqlDriver::TableName);
}

} // namespace

Esito controlla(ArchivioRegistri& archivio, Controllo& c)
{
    c = Controllo{};
    QSqlDatabase db = archivio.database();
    if (!db.isOpen())
        return Esito::errore(erroreGenerico, u"archivio non aperto"_s);
    const QSqlDriver* d = db.driver();
    const bool sqlite = d->dbmsType() == QSqlDriver::SQLite;
    QSqlError err;
    QStringList righe;
    // A first read tells a foreign or locked file apart before the schema is looked at.
    if (sqlite) {
        if (!colonna(db, u"PRAGMA integrity_check"_s, righe, err))
            return esitoSql(err, d);
        if (righe != QStringList{u"ok"_s})
            c.integrita = righe;
    }
    const Tabella registri{tabellaRegistri, colonneRegistri()};
    const Tabella testata{tabellaTestata, colonneTestata()};
    const Tabella storico{tabellaStorico, colonneStorico()};
    const QStringList presenti = db.tables();
    c.storicoAssente = !presenti.contains(storico.nome, Qt::CaseInsensitive);
    bool complete = true;
    for (const Tabella& t : {registri, testata, storico}) {
        if (t.nome == tabellaStorico && c.storicoAssente)
            continue;
        if (!presenti.contains(t.nome, Qt::CaseInsensitive)) {
            c.tabelleMancanti << t.nome;
            complete = false;
            continue;
        }
        // Quoted, or the server would look for the name in lower case.
        const QString nome = quota(d, t.nome, QSqlDriver::TableName);
        const QSqlRecord campi = db.record(nome);
        for (const Colonna& col : t.colonne) {
            bool trovata = false;
            for (int i = 0; i < campi.count() && !trovata; ++i)
                trovata = campi.fieldName(i).compare(col.nome, Qt::CaseInsensitive) == 0;
            if (!trovata) {
                c.colonneMancanti << t.nome + u'.' + col.nome;
                complete = false;
            }
        }
        const QSqlIndex chiave = db.primaryIndex(nome);
        if (chiave.count() != 1 || chiave.fieldName(0).compare(t.colonne.front().nome, Qt::CaseInsensitive) != 0)
            c.chiaviMancanti << t.nome;
    }
    if (!complete || !c.integrita.isEmpty())
        return {};
    QStringList numeri;
    if (!colonna(db, sqlConta(d, registri), numeri, err) || !colonna(db, sqlConta(d, testata), numeri, err) ||
        !colonna(db, sqlSenzaCompagna(d, registri, testata), c.registriSenzaTestata, err) ||
        !colonna(db, sqlSenzaCompagna(d, testata, registri), c.testateSenzaRegistro, err) ||
        (!c.storicoAssente && !colonna(db, sqlConta(d, storico), numeri, err)))
        return esitoSql(err, d);
    c.registri = numeri.value(0).toInt();
    c.testate = numeri.value(1).toInt();
    c.storico = numeri.value(2).toInt();
    return {};
}

} // namespace store
