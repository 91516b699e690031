#include "../store/fileprova.h"
#include "strumento.h"

#include "store/colonne.h"
#include "store/posizione.h"
#include "store/registro.h"
#include "store/archivioregistri.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace strumento;

namespace {

// Every row of both tables, and of the history when asked, as text, a boolean as 0 or 1 and a Null as
// such, as either engine gives them.
QStringList righe(QSqlDatabase db, bool storico = false)
{
    QStringList tutte;
    for (const auto& [tabella, colonne] : {std::pair{store::tabellaRegistri, store::colonneRegistri()},
                                           std::pair{store::tabellaTestata, store::colonneTestata()},
                                           std::pair{store::tabellaStorico, store::colonneStorico()}}) {
        if (tabella == store::tabellaStorico && !storico)
            break;
        QSqlQuery q(db);
        if (!q.exec(FileProva::quotaNomi(u"SELECT * FROM %1 ORDER BY %2"_s.arg(tabella, colonne.front().nome))))
            return {q.lastError().text()};
        while (q.next()) {
            QStringList campi;
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                campi << (v.isNull()                      ? u"<null>"_s
                          : v.typeId() == QMetaType::Bool ? QString::number(int(v.toBool()))
                                                          : v.toString());
            }
            tutte << tabella + u": "_s + campi.join(u'|');
        }
    }
    return tutte;
}

QStringList righeFile(const QString& file, bool storico = false)
{
    return conFile(file, [storico](QSqlDatabase db) { return righe(db, storico); });
}

} // namespace

// pemtarx-db on a real server: the company's database found through the settings file as the
// program finds it, the demo made there, and copies between a file and the server both ways.
class TestServer final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void creaDalleImpostazioni();
    void databaseMancante_data();
    void databaseMancante();
    void databaseInAltraCodifica();
    void esempioComeSulFile();
    void copiaAndataERitorno();
    void copiaRifiutata_data();
    void copiaRifiutata();
    void storicoDiUnAltroRuolo();

private:
    QString scriviIni(const QString& nome);
    QStringList righeServer(bool storico = false) const;

    std::unique_ptr<QTemporaryDir> cartella;
    std::unique_ptr<FileProva> server;
    QString ini;
};

void TestServer::init()
{
    QVERIFY2(FileProva::server(), "PEMTARX_PROVA_PG names the test cluster");
    cartella = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FileProva>();
    // The company's code in capitals: the database's name is the code in lower case.
    ini = scriviIni(u"%DITTA%"_s);
}

void TestServer::cleanup()
{
    server.reset();
    cartella.reset();
}

QString TestServer::scriviIni(const QString& nome)
{
    const QString file = cartella->filePath(u"Quendrix.ini"_s);
    const bool scritto = scriviByte(
        file, u"[BASE]\r\nDITTA=%1\r\n[PATH]\r\nDIRINI=%2/\r\n[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=%3\r\nPORT=5432\r\n"
              u"UTENTE=pemtarx\r\nNOME=%4\r\n"_s
                  .arg(server->nomeDatabase().toUpper(), cartella->path(), FileProva::cluster(), nome)
                  .toLatin1());
    return scritto ? file : QString();
}

QStringList TestServer::righeServer(bool storico) const
{
    return righe(server->altraConnessione(u"lettore"_s), storico);
}

void TestServer::creaDalleImpostazioni()
{
    const Uscita u = pemtarxDb({u"crea"_s, u"--ini"_s, ini});
    QCOMPARE(u.errori, QString());
    QCOMPARE(u.codice, 0);
    QCOMPARE(u.standard.trimmed(), u"ARCHIVIO CREATO: "_s + server->percorso());
    QCOMPARE(righeServer(), QStringList());
    const Uscita v = pemtarxDb({u"verifica"_s, u"--ini"_s, ini});
    QCOMPARE(v.errori, QString());
    QCOMPARE(v.codice, 0);
    QVERIFY(v.standard.startsWith(u"ARCHIVIO INTEGRO: "_s));
    // The conversion in place works on a file only: a server in the settings is said, never a file beside it.
    const Uscita i = pemtarxDb({u"importa"_s, u"--ini"_s, ini});
    QCOMPARE(i.codice, 1);
    QVERIFY2(i.errori.startsWith(u"IMPORTA LAVORA SOLO SU FILE, NON SU UN SERVER: "_s + server->percorso()),
             qPrintable(i.errori));

    // Made once: a database that has the tables is left as it is.
    QCOMPARE(pemtarxDb({u"esempio"_s, server->percorso()}).codice, 1);
    server->esegui({u"INSERT INTO TabellaSerieSemplificata (SspCodice) VALUES ('MIO')"_s});
    const QString prima = server->istantanea();
    for (const QString& comando : {u"crea"_s, u"esempio"_s}) {
        const Uscita w = pemtarxDb({comando, u"--ini"_s, ini});
        QCOMPARE(w.codice, 1);
        QVERIFY2(w.errori.startsWith(u"ARCHIVIO GIA' PRESENTE NEL DATABASE"_s), qPrintable(w.errori));
        QCOMPARE(server->istantanea(), prima);
    }
}

void TestServer::databaseMancante_data()
{
    QTest::addColumn<QString>("comando");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("crea") << u"crea"_s << u"ERRORE NELLA CREAZIONE DELL'ARCHIVIO"_s;
    QTest::newRow("esempio") << u"esempio"_s << u"ERRORE NELLA CREAZIONE DELL'ARCHIVIO"_s;
    QTest::newRow("verifica") << u"verifica"_s << u"ERRORE IN LETTURA DELL'ARCHIVIO"_s;
}

void TestServer::databaseMancante()
{
    QFETCH(QString, comando);
    QFETCH(QString, messaggio);
    ini = scriviIni(u"%DITTA%_mai_creato"_s);
    const Uscita u = pemtarxDb({comando, u"--ini"_s, ini});
    QCOMPARE(u.codice, 1);
    QVERIFY2(u.errori.startsWith(messaggio), qPrintable(u.errori));
    QVERIFY2(u.errori.contains(u"does not exist"_s), qPrintable(u.errori));
    QCOMPARE(u.standard, QString());
    QCOMPARE(server->valore(u"SELECT COUNT(*) FROM pg_database WHERE datname LIKE '%mai_creato'"_s).toInt(), 0);
}

void TestServer::databaseInAltraCodifica()
{
    const QString nome = server->nomeDatabase() + u"_latin1"_s;
    QSqlDatabase amministra = server->altraConnessione(u"amministra"_s);
    QSqlQuery q(amministra);
    QVERIFY2(q.exec(u"CREATE DATABASE %1 ENCODING 'LATIN1' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'"_s.arg(nome)),
             qPrintable(q.lastError().text()));
    const QString indirizzo = QString(server->percorso()).replace(server->nomeDatabase(), nome);
    const Uscita u = pemtarxDb({u"crea"_s, indirizzo});
    QVERIFY(q.exec(u"DROP DATABASE %1"_s.arg(nome)));
    QCOMPARE(u.codice, 1);
    QVERIFY2(u.errori.contains(u"il database è in LATIN1, non in UTF8"_s), qPrintable(u.errori));
}

void TestServer::esempioComeSulFile()
{
    const QString file = cartella->filePath(u"dogana.mdb"_s);
    QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
    const Uscita u = pemtarxDb({u"esempio"_s, u"--ini"_s, ini});
    QCOMPARE(u.errori, QString());
    QCOMPARE(u.codice, 0);
    const QStringList sulServer = righeServer();
    QVERIFY(sulServer.size() > 30);
    QCOMPARE(sulServer, righeFile(file));
    const qsizetype registri = sulServer.filter(u"TabellaSerieSemplificata: "_s).size();
    QCOMPARE(u.standard.trimmed(),
             u"ARCHIVIO DI ESEMPIO CREATO: %1 (%2 REGISTRI)"_s.arg(server->percorso()).arg(registri));
}

void TestServer::copiaAndataERitorno()
{
    const QString a = cartella->filePath(u"a.mdb"_s);
    const QString b = cartella->filePath(u"b.mdb"_s);
    QCOMPARE(pemtarxDb({u"esempio"_s, a}).codice, 0);
    // Rows another program wrote: Nulls in every column but the key, a heading without register.
    QCOMPARE(
        eseguiFile(a, {u"INSERT INTO TabellaSerieSemplificata (SspCodice) VALUES ('ALTRI')"_s,
                       u"INSERT INTO TestataRegistriPS (TpsCodice, TpsRiga1) VALUES ('ORFANA', 'DOGANA DI COMO')"_s}),
        QString());
    const QStringList originale = righeFile(a, true);
    const int registri = int(originale.filter(u"TabellaSerieSemplificata: "_s).size());
    const int testate = int(originale.filter(u"TestataRegistriPS: "_s).size());
    const int storico = int(originale.filter(u"StoricoRegistri: "_s).size());

    const Uscita andata = pemtarxDb({u"copia"_s, a, u"--ini"_s, ini});
    QCOMPARE(andata.errori, QString());
    QCOMPARE(andata.codice, 0);
    QCOMPARE(andata.standard.trimmed(),
             u"COPIATI %1 REGISTRI E %2 TESTATE DA %3 A %4\nCOPIATE %5 RIGHE DELLO STORICO"_s.arg(registri)
                 .arg(testate)
                 .arg(a, server->percorso())
                 .arg(storico));
    QCOMPARE(righeServer(true), originale);

    const Uscita ritorno = pemtarxDb({u"copia"_s, server->percorso(), b});
    QCOMPARE(ritorno.errori, QString());
    QCOMPARE(ritorno.codice, 0);
    QCOMPARE(righeFile(b, true), originale);
    QCOMPARE(pemtarxDb({u"verifica"_s, b}).codice, 0);
    // The server's numbers go on after the last one copied.
    QCOMPARE(pemtarxDb({u"ripristina"_s, u"--ini"_s, ini, u"GMI"_s, u"1"_s}).codice, 0);
    QCOMPARE(server->righe(u"SELECT StoNumero, StoOperazione FROM StoricoRegistri WHERE StoNumero > ?"_s, {storico}),
             (QList<QVariantList>{{storico + 1, u"RIPRISTINO"_s}}));
}

void TestServer::copiaRifiutata_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("server con registri") << u"pieno"_s << u"LA DESTINAZIONE CONTIENE GIA' DEI REGISTRI"_s;
    QTest::newRow("lettere in una colonna numerica") << u"lettere"_s << u"ERRORE NELLA COPIA, NULLA E' STATO SCRITTO"_s;
    QTest::newRow("file di destinazione esistente") << u"file esistente"_s << u"FILE ESISTENTE: "_s;
    QTest::newRow("database di origine mancante") << u"origine mancante"_s << u"ERRORE IN LETTURA DELL'ARCHIVIO"_s;
    QTest::newRow("stesso archivio") << u"stesso"_s << u"SORGENTE E DESTINAZIONE COINCIDONO"_s;
    QTest::newRow("stesso database scritto altrimenti")
        << u"scritto altrimenti"_s << u"SORGENTE E DESTINAZIONE COINCIDONO"_s;
}

void TestServer::copiaRifiutata()
{
    QFETCH(QString, caso);
    QFETCH(QString, messaggio);
    const QString file = cartella->filePath(u"dogana.mdb"_s);
    QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
    QStringList argomenti{u"copia"_s, file, server->percorso()};
    if (caso == u"pieno"_s) {
        QCOMPARE(pemtarxDb({u"crea"_s, server->percorso()}).codice, 0);
        QCOMPARE(server->esegui({u"INSERT INTO TestataRegistriPS (TpsCodice) VALUES ('MIA')"_s}), QString());
    } else if (caso == u"lettere"_s) {
        QCOMPARE(
            eseguiFile(file, {u"UPDATE TabellaSerieSemplificata SET SspMeccanogNum = '12A' WHERE SspCodice = 'SVR'"_s}),
            QString());
    } else if (caso == u"file esistente"_s) {
        QCOMPARE(pemtarxDb({u"crea"_s, server->percorso()}).codice, 0);
        argomenti = {u"copia"_s, server->percorso(), file};
    } else if (caso == u"origine mancante"_s) {
        argomenti = {u"copia"_s, server->assente(), cartella->filePath(u"nuovo.mdb"_s)};
    } else if (caso == u"stesso"_s) {
        argomenti = {u"copia"_s, u"--ini"_s, ini, server->percorso()};
    } else if (caso == u"scritto altrimenti"_s) {
        QCOMPARE(pemtarxDb({u"crea"_s, server->percorso()}).codice, 0);
        const QString altrimenti = u"postgresql://pemtarx@:5432/%1?host=%2"_s.arg(
            server->nomeDatabase(), QString::fromLatin1(QUrl::toPercentEncoding(FileProva::cluster())));
        argomenti = {u"copia"_s, server->percorso(), altrimenti};
    }
    const QString prima = server->istantanea();
    const QStringList primaFile = righeFile(file);
    const Uscita u = pemtarxDb(argomenti);
    QCOMPARE(u.codice, 1);
    QVERIFY2(u.errori.startsWith(messaggio), qPrintable(u.errori));
    if (caso == u"lettere"_s)
        QVERIFY2(u.errori.contains(u"SspMeccanogNum"_s) && u.errori.contains(u"SVR"_s), qPrintable(u.errori));
    QCOMPARE(u.standard, QString());
    QCOMPARE(server->istantanea(), prima);
    QCOMPARE(righeFile(file), primaFile);
    QVERIFY(!QFile::exists(cartella->filePath(u"nuovo.mdb"_s)));
}

void TestServer::storicoDiUnAltroRuolo()
{
    // A database made before the history, whose owner lets the role "collega" write the registers.
    QCOMPARE(pemtarxDb({u"crea"_s, server->percorso()}).codice, 0);
    QCOMPARE(server->esegui({u"DROP TABLE StoricoRegistri"_s,
                             u"DO $$BEGIN CREATE ROLE collega LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END$$"_s,
                             u"GRANT SELECT, INSERT, UPDATE, DELETE ON TabellaSerieSemplificata, TestataRegistriPS "
                             u"TO collega"_s}),
             QString());
    const auto salva = [&](const QString& ruolo, const QString& codice) {
        store::ArchivioRegistri archivio(u"ruolo-"_s + ruolo);
        const std::optional<store::Server> s = store::server(server->percorso());
        store::Esito e = archivio.apriDatabase(store::indirizzo({s->host, s->porta, ruolo, s->nome, {}}));
        if (e.ok())
            e = archivio.scrivi(Registro{codice}, TestataRegistro{}).esito;
        return e.descrizione;
    };
    // The owner's first save adds the history and lets the roles that write the registers add to it.
    QCOMPARE(salva(u"pemtarx"_s, u"TITOLARE"_s), QString());
    QCOMPARE(salva(u"collega"_s, u"COLLEGA"_s), QString());
    QCOMPARE(server->righe(u"SELECT SspCodice, substr(StoUtente, strpos(StoUtente, ' (')) FROM StoricoRegistri "
                           u"ORDER BY StoNumero"_s),
             (QList<QVariantList>{{u"TITOLARE"_s, u" (pemtarx)"_s}, {u"COLLEGA"_s, u" (collega)"_s}}));
    // Never to change it.
    QSqlDatabase collega = server->altraConnessione(u"collega"_s);
    collega.close();
    collega.setUserName(u"collega"_s);
    QVERIFY(collega.open());
    QVERIFY(!QSqlQuery(collega).exec(u"DELETE FROM \"StoricoRegistri\""_s));
    collega.close();
}

QTEST_GUILESS_MAIN(TestServer)
#include "tst_tools_server.moc"
