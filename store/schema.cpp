#include "store/archivioregistri.h"

#include "store/colonne.h"
#include "store/motore.h"
#include "store/posizione.h"
#include "store/storico.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QStringList>

// The company's tables made new, in a file or in a server's database.
namespace store {

using namespace Qt::StringLiterals;

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

} // namespace

Esito ArchivioRegistri::creaTabelle(QSqlDatabase& db)
{
    const QSqlDriver* d = db.driver();
    if (Esito e = preparaSchema(db); !e.ok())
        return e;
    const QString indice = u"CREATE INDEX "_s + quota(d, "SspDescrizioneIdx"_L1, QSqlDriver::TableName) + u" ON "_s +
                           quota(d, tabellaRegistri, QSqlDriver::TableName) + u" ("_s + quota(d, "SspDescrizione"_L1) +
                           u", "_s + quota(d, "SspCodice"_L1) + u')';
    QSqlQuery q(db);
    for (const QString& sql :
         {creaTabella(d, tabellaRegistri, colonneRegistri()), creaTabella(d, tabellaTestata, colonneTestata()), indice})
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
    const bool file = !server(percorso);
    // Made here and only if new: a file that appeared meanwhile is someone else's, never removed below.
    if (QFile nuovo(percorso); file && !nuovo.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Esito::errore(erroreGenerico,
                             (QFileInfo::exists(percorso) ? u"il file esiste già"_s : nuovo.errorString()) + u": "_s +
                                 percorso);
    Esito esito;
    {
        ArchivioRegistri archivio(u"pemtarx-crea-"_s + percorso);
        QSqlDatabase db;
        if (file) {
            db = QSqlDatabase::addDatabase(u"QSQLITE"_s, archivio.nomeConnessione());
            db.setDatabaseName(percorso);
            if (db.open())
                impostaFile(db);
            else
                esito = Esito::errore(erroreGenerico, db.lastError().text());
        } else if (esito = archivio.apriDatabase(percorso); esito.ok()) {
            db = archivio.database();
            // As an existing file is never overwritten, a database that has either table is left alone.
            const QStringList presenti = db.tables();
            for (QLatin1StringView t : {tabellaRegistri, tabellaTestata})
                if (presenti.contains(t, Qt::CaseInsensitive))
                    return Esito::errore(erroreEsistente, u"tabella già presente: "_s + t);
        }
        if (esito.ok())
            esito = creaSchema(db);
    }
    if (file && !esito.ok())
        QFile::remove(percorso);
    return esito;
}

} // namespace store
