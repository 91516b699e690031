// A second user of a company file for the store tests.
//   scrittore salva FILE N saves and deletes registers through the store without end, one line per commit
//   scrittore blocca FILE  holds the file locked with a pending write until its standard input closes
//   scrittore stesso FILE CHI VOLTE  saves one code VOLTE times, each save signed by CHI and its turn
//   scrittore conta FILE VOLTE  adds one to a register's last number VOLTE times, as a clerk would:
//                               look it up, then save it unless another clerk changed it meanwhile
//   scrittore elimina FILE CODICE  deletes one register
// FILE is a company file or the "postgresql://" address of a company database.
#include "store/campi.h"
#include "store/posizione.h"
#include "store/registro.h"
#include "store/archivioregistri.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int fallisci(const QString& perche)
{
    QTextStream(stderr) << perche << u'\n';
    return 1;
}

QString codice(quint64 i) { return u"K%1"_s.arg(i % 40); }

// Step k inserts or changes one code, changes it again, then deletes another: new rows keep coming.
int salva(const QString& file, quint64 inizio)
{
    store::ArchivioRegistri archivio(u"scrittore"_s);
    for (const store::Esito& e : {archivio.apriDatabase(file), archivio.apriRegistri(), archivio.apriTestata()})
        if (!e.ok())
            return fallisci(e.descrizione);
    QTextStream uscita(stdout);
    for (quint64 i = inizio;; ++i) {
        store::Esito e;
        if (i % 3 == 2) {
            e = archivio.elimina(codice(i / 3 + 20));
        } else {
            Registro r{codice(i / 3)};
            r.SspDescrizione = u"SALVATAGGIO %1"_s.arg(i);
            r.SspCarScar = i % 2 ? u"C"_s : u"S"_s;
            r.SspUltimoCarico = static_cast<qint32>(i);
            TestataRegistro t;
            for (int n = 0; n < 5; ++n) {
                t.TpsRiga[n] = u"RIGA %1 DEL SALVATAGGIO %2 "_s.arg(n).arg(i).repeated(4);
                t.TpsRigP[n] = u"PREAVVISO %1"_s.arg(i);
            }
            e = archivio.scrivi(r, t).esito;
        }
        if (!e.ok())
            return fallisci(e.descrizione);
        uscita << i << Qt::endl;
    }
}

// Saves one code `volte` times, every column and heading line naming the writer and the turn, so
// a row that mixes two saves shows.
int stesso(const QString& file, const QString& chi, int volte)
{
    store::ArchivioRegistri archivio(u"scrittore"_s);
    for (const store::Esito& e : {archivio.apriDatabase(file), archivio.apriRegistri(), archivio.apriTestata()})
        if (!e.ok())
            return fallisci(e.descrizione);
    for (int i = 0; i < volte; ++i) {
        const QString firma = u"%1 %2"_s.arg(chi).arg(i);
        // The case of the code changes from turn to turn: still one register.
        Registro r{i % 2 ? u"conteso"_s : u"CONTESO"_s};
        r.SspDescrizione = firma;
        r.SspUltimoCarico = i;
        r.SspRiqA = firma;
        TestataRegistro t;
        for (int n = 0; n < 5; ++n)
            t.TpsRiga[n] = t.TpsRigP[n] = firma;
        if (const store::Esito e = archivio.scrivi(r, t).esito; !e.ok())
            return fallisci(u"%1: %2"_s.arg(firma, e.descrizione));
    }
    return 0;
}

int conta(const QString& file, int volte)
{
    store::ArchivioRegistri archivio(u"scrittore"_s);
    for (const store::Esito& e : {archivio.apriDatabase(file), archivio.apriRegistri(), archivio.apriTestata()})
        if (!e.ok())
            return fallisci(e.descrizione);
    for (int fatte = 0; fatte < volte;) {
        store::ArchivioRegistri::Righe righe;
        if (const store::Esito e = archivio.trova(u"CONTATORE"_s, righe); !e.ok())
            return fallisci(e.descrizione);
        Registro r = righe.registro ? store::leggiRegistro(*righe.registro) : Registro{u"CONTATORE"_s};
        ++r.SspUltimoCarico;
        const store::Esito e = archivio.scrivi(r, {}, &righe).esito;
        if (e.ok())
            ++fatte;
        else if (e.numero != store::erroreCambiato)
            return fallisci(e.descrizione);
    }
    return 0;
}

int elimina(const QString& file, const QString& codice)
{
    store::ArchivioRegistri archivio(u"scrittore"_s);
    const store::Esito e = archivio.apriDatabase(file);
    return e.ok() && archivio.elimina(codice).ok() ? 0 : fallisci(e.descrizione);
}

int blocca(const QString& file)
{
    {
        const std::optional<store::Server> s = store::server(file);
        QSqlDatabase db = QSqlDatabase::addDatabase(s ? u"QPSQL"_s : u"QSQLITE"_s, u"blocca"_s);
        if (s) {
            db.setHostName(s->host);
            db.setPort(s->porta.isEmpty() ? -1 : s->porta.toInt());
            db.setUserName(s->utente);
            db.setDatabaseName(s->nome);
        } else {
            db.setDatabaseName(file);
        }
        if (!db.open())
            return fallisci(db.lastError().text());
        QSqlQuery q(db);
        const QStringList blocco =
            s ? QStringList{u"BEGIN"_s,
                            u"LOCK TABLE \"TabellaSerieSemplificata\", \"TestataRegistriPS\" IN ACCESS EXCLUSIVE MODE"_s}
              : QStringList{u"BEGIN EXCLUSIVE"_s};
        for (const QString& sql :
             blocco + QStringList{u"INSERT INTO \"TestataRegistriPS\" (\"TpsCodice\") VALUES ('BLOCCO')"_s})
            if (!q.exec(sql))
                return fallisci(q.lastError().text());
        QTextStream(stdout) << "bloccato" << Qt::endl;
        QFile ingresso;
        if (!ingresso.open(stdin, QIODevice::ReadOnly))
            return fallisci(u"stdin"_s);
        while (!ingresso.read(64).isEmpty()) {
        }
        q.exec(u"ROLLBACK"_s);
    }
    QSqlDatabase::removeDatabase(u"blocca"_s);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication applicazione(argc, argv);
    const QStringList a = QCoreApplication::arguments();
    if (a.size() == 4 && a.at(1) == u"salva"_s)
        return salva(a.at(2), a.at(3).toULongLong());
    if (a.size() == 3 && a.at(1) == u"blocca"_s)
        return blocca(a.at(2));
    if (a.size() == 5 && a.at(1) == u"stesso"_s)
        return stesso(a.at(2), a.at(3), a.at(4).toInt());
    if (a.size() == 4 && a.at(1) == u"conta"_s)
        return conta(a.at(2), a.at(3).toInt());
    if (a.size() == 4 && a.at(1) == u"elimina"_s)
        return elimina(a.at(2), a.at(3));
    return fallisci(u"uso: scrittore salva FILE N | blocca FILE | stesso FILE CHI VOLTE | conta FILE VOLTE | "
                    u"elimina FILE CODICE"_s);
}
