#include "store/copia.h"

#include "store/colonne.h"
#include "store/grezzo.h"
#include "store/archivioregistri.h"
#include "store/storico.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <cmath>
#include <cstdlib>

namespace store {

using namespace Qt::StringLiterals;

namespace {

// SQLite keeps a boolean as the integer 0 or 1 and a whole real as an integer: the same value.
QVariant adatta(const Colonna& c, const QVariant& v)
{
    if (v.isNull())
        return v;
    const bool intero = v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int;
    if (c.tipo == Tipo::Booleano && intero && (v.toLongLong() == 0 || v.toLongLong() == 1))
        return QVariant(v.toLongLong() == 1);
    if (c.tipo == Tipo::Reale && intero && std::llabs(v.toLongLong()) < (1LL << 53))
        return QVariant(double(v.toLongLong()));
    return v;
}

Esito conta(QSqlDatabase& db, QLatin1StringView tabella, int& righe)
{
    QSqlQuery q(db);
    if (!q.exec(u"SELECT COUNT(*) FROM "_s + db.driver()->escapeIdentifier(tabella, QSqlDriver::TableName)) ||
        !q.next())
        return esitoSql(q.lastError(), db.driver());
    righe = q.value(0).toInt();
    return {};
}

Esito copiaTabella(QSqlDatabase& da, QSqlDatabase& verso, QLatin1StringView tabella, int& copiate)
{
    const std::span<const Colonna> colonne = colonneDi(tabella);
    InserimentoGrezzo inserimento(verso, tabella);
    if (!inserimento.esito().ok())
        return inserimento.esito();
    Esito fallita;
    const Esito letta = leggiGrezzo(da, tabella, [&](const QVariantList& riga) {
        if (!fallita.ok())
            return;
        QVariantList valori;
        for (qsizetype i = 0; i < riga.size(); ++i)
            valori << adatta(colonne[size_t(i)], riga.at(i));
        if (Esito e = inserimento.inserisci(valori); !e.ok())
            fallita = Esito::errore(e.numero, tabella + u' ' + riga.value(0).toString() + u": "_s + e.descrizione);
        else
            ++copiate;
    });
    return fallita.ok() ? letta : fallita;
}

// The server's counter of history numbers goes on after the last one copied; SQLite's does by itself.
Esito proseguiNumeri(QSqlDatabase& db)
{
    const QSqlDriver* d = db.driver();
    if (d->dbmsType() == QSqlDriver::SQLite)
        return {};
    const QString tabella = d->escapeIdentifier(tabellaStorico, QSqlDriver::TableName);
    const QString numero = d->escapeIdentifier(colonneStorico().front().nome, QSqlDriver::FieldName);
    QSqlQuery q(db);
    if (!q.prepare(u"SELECT setval(pg_get_serial_sequence(?, ?), MAX("_s + numero + u")) FROM "_s + tabella))
        return esitoSql(q.lastError(), d);
    q.bindValue(0, tabella);
    q.bindValue(1, QString(colonneStorico().front().nome));
    if (!q.exec())
        return esitoSql(q.lastError(), d);
    return {};
}

} // namespace

Esito copia(ArchivioRegistri& da, ArchivioRegistri& verso, Copiati& copiati)
{
    copiati = {};
    QSqlDatabase sorgente = da.database();
    QSqlDatabase destinazione = verso.database();
    if (!sorgente.isOpen() || !destinazione.isOpen())
        return Esito::errore(erroreGenerico, u"archivio non aperto"_s);
    const QStringList presenti = destinazione.tables();
    const bool registri = presenti.contains(tabellaRegistri, Qt::CaseInsensitive);
    const bool testate = presenti.contains(tabellaTestata, Qt::CaseInsensitive);
    if (registri != testate)
        return Esito::errore(erroreGenerico, u"la destinazione ha una sola delle due tabelle"_s);
    if (registri) {
        int righe = 0, altre = 0;
        if (Esito e = conta(destinazione, tabellaRegistri, righe); !e.ok())
            return e;
        if (Esito e = conta(destinazione, tabellaTestata, altre); !e.ok())
            return e;
        // A company's registers are never mixed with, or written over, another's.
        if (righe + altre > 0)
            return Esito::errore(erroreEsistente,
                                 u"la destinazione contiene già %1 registri e %2 testate"_s.arg(righe).arg(altre));
    }
    if (haStorico(destinazione)) {
        int righe = 0;
        if (Esito e = conta(destinazione, tabellaStorico, righe); !e.ok())
            return e;
        if (righe > 0)
            return Esito::errore(erroreEsistente, u"la destinazione contiene già %1 righe di storico"_s.arg(righe));
    }
    if (!destinazione.transaction())
        return esitoSql(destinazione.lastError(), destinazione.driver());
    Esito e;
    if (!registri)
        e = ArchivioRegistri::creaTabelle(destinazione);
    if (e.ok())
        e = copiaTabella(sorgente, destinazione, tabellaRegistri, copiati.registri);
    if (e.ok())
        e = copiaTabella(sorgente, destinazione, tabellaTestata, copiati.testate);
    // A destination made before the history gets one; a source without one gives it no rows.
    if (e.ok())
        e = creaStorico(destinazione);
    if (e.ok() && haStorico(sorgente))
        e = copiaTabella(sorgente, destinazione, tabellaStorico, copiati.storico);
    if (e.ok())
        e = proseguiNumeri(destinazione);
    if (e.ok() && !destinazione.commit())
        e = esitoSql(destinazione.lastError(), destinazione.driver());
    if (!e.ok()) {
        destinazione.rollback();
        copiati = {};
    }
    return e;
}

} // namespace store
