#include "store/posizione.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(store::Server)

// Where the settings file puts a company's registers: the file as always, or a database on a server.
class TestPosizione final : public QObject {
    Q_OBJECT
private slots:
    void dalFileImpostazioni_data();
    void dalFileImpostazioni();
    void indirizzi_data();
    void indirizzi();
    void andataERitorno_data();
    void andataERitorno();
    void nomiSenzaMaiuscole_data();
    void nomiSenzaMaiuscole();
};

namespace {

QString scrivi(const QTemporaryDir& cartella, const QByteArray& testo)
{
    const QString file = cartella.filePath(u"Quendrix.ini"_s);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(testo) != testo.size())
        return {};
    return file;
}

// Every part of an address, so a failure shows which one differs.
QStringList descrivi(const store::Server& s)
{
    return QStringList{u"host="_s + s.host, u"porta="_s + s.porta, u"utente="_s + s.utente, u"nome="_s + s.nome} +
           s.opzioni;
}

} // namespace

void TestPosizione::dalFileImpostazioni_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("attesa");
    QTest::addColumn<bool>("soloFile");

    // The last column: the company and its folder come from the settings file alone.
    QTest::newRow("cartella dei dati") << QByteArray("[BASE]\r\nDITTA=001\r\n[PATH]\r\nDIRINI=/srv/dati/\r\n")
                                       << u"/srv/dati/001/dogana.mdb"_s << true;
    QTest::newRow("senza cartella, la radice") << QByteArray("[BASE]\r\nDITTA=001\r\n") << u"/001/dogana.mdb"_s << true;
    QTest::newRow("cartella di spazi, la radice")
        << QByteArray("[BASE]\r\nDITTA=001\r\n[PATH]\r\nDIRINI=\"   \"\r\n") << u"/001/dogana.mdb"_s << true;
    QTest::newRow("server dal solo file")
        << QByteArray("[BASE]\r\nDITTA=AB7\r\n[DATABASE]\r\nDRIVER=QPSQL\r\n") << u"postgresql:///dogana_ab7"_s << true;
    QTest::newRow("senza sezione DATABASE")
        << QByteArray("[BASE]\r\nDITTA=X1\r\n") << u"/dati/X1/dogana.mdb"_s << false;
    QTest::newRow("driver SQLite") << QByteArray("[DATABASE]\r\nDRIVER=QSQLITE\r\nHOST=db\r\n")
                                   << u"/dati/X1/dogana.mdb"_s << false;
    QTest::newRow("driver vuoto") << QByteArray("[DATABASE]\r\nDRIVER=\r\nNOME=altro\r\n") << u"/dati/X1/dogana.mdb"_s
                                  << false;
    QTest::newRow("server con i soli predefiniti")
        << QByteArray("[DATABASE]\r\nDRIVER=QPSQL\r\n") << u"postgresql:///dogana_x1"_s << false;
    QTest::newRow("nomi senza riguardo alle maiuscole")
        << QByteArray("[database]\r\ndriver=qpsql\r\nnome=Registri_%ditta%\r\n") << u"postgresql:///Registri_x1"_s
        << false;
    QTest::newRow("host, porta e utente")
        << QByteArray("[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=db.ufficio.lan\r\nPORT=5433\r\nUTENTE=mario\r\n")
        << u"postgresql:///dogana_x1?host=db.ufficio.lan&port=5433&user=mario"_s << false;
    QTest::newRow("cartella del socket")
        << QByteArray("[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=/var/run/postgresql\r\nNOME=%DITTA%\r\n")
        << u"postgresql:///x1?host=/var/run/postgresql"_s << false;
    QTest::newRow("la parola d'ordine non viene mai letta")
        << QByteArray("[DATABASE]\r\nDRIVER=QPSQL\r\nPASSWORD=segreta\r\nPASSWD=segreta\r\n")
        << u"postgresql:///dogana_x1"_s << false;
    QTest::newRow("caratteri da codificare")
        << QByteArray("[DATABASE]\r\nDRIVER=QPSQL\r\nUTENTE=m&r=o\r\nNOME=d?x#%DITTA%\r\n")
        << u"postgresql:///d%3Fx%23x1?user=m%26r%3Do"_s << false;
}

void TestPosizione::dalFileImpostazioni()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, attesa);
    QFETCH(bool, soloFile);
    QTemporaryDir cartella;
    const QString file = scrivi(cartella, ini);
    QVERIFY(!file.isEmpty());
    QCOMPARE(soloFile ? store::posizioneArchivio(file) : store::posizioneArchivio(file, u"/dati/"_s, u"X1"_s), attesa);
}

void TestPosizione::indirizzi_data()
{
    QTest::addColumn<QString>("posizione");
    QTest::addColumn<bool>("server");
    QTest::addColumn<store::Server>("attesa");

    QTest::newRow("file") << u"/dati/X1/dogana.mdb"_s << false << store::Server{};
    QTest::newRow("file relativo") << u"dogana.mdb"_s << false << store::Server{};
    QTest::newRow("come lo scrive libpq")
        << u"postgresql://mario@db.ufficio.lan:5433/dogana_001"_s << true
        << store::Server{u"db.ufficio.lan"_s, u"5433"_s, u"mario"_s, u"dogana_001"_s, {}};
    QTest::newRow("schema breve") << u"postgres://db/dogana_001"_s << true
                                  << store::Server{u"db"_s, {}, {}, u"dogana_001"_s, {}};
    QTest::newRow("socket nella query") << u"postgresql:///dogana_001?host=%2Fvar%2Frun%2Fpostgresql&port=5432"_s
                                        << true
                                        << store::Server{u"/var/run/postgresql"_s, u"5432"_s, {}, u"dogana_001"_s, {}};
    QTest::newRow("la query vince") << u"postgresql://a@h1:1/n1?host=h2&user=b&dbname=n2"_s << true
                                    << store::Server{u"h2"_s, u"1"_s, u"b"_s, u"n2"_s, {}};
    QTest::newRow("solo predefiniti") << u"postgresql://"_s << true << store::Server{};
    QTest::newRow("altri parametri di libpq")
        << u"postgresql://db/d?sslmode=require&application_name=a%20b"_s << true
        << store::Server{u"db"_s, {}, {}, u"d"_s, {u"sslmode=require"_s, u"application_name=a b"_s}};
}

void TestPosizione::indirizzi()
{
    QFETCH(QString, posizione);
    QFETCH(bool, server);
    QFETCH(store::Server, attesa);
    const std::optional<store::Server> s = store::server(posizione);
    QCOMPARE(s.has_value(), server);
    if (s)
        QCOMPARE(descrivi(*s), descrivi(attesa));
}

void TestPosizione::andataERitorno_data()
{
    QTest::addColumn<store::Server>("server");
    QTest::newRow("vuoto") << store::Server{};
    QTest::newRow("host e porta") << store::Server{u"db"_s, u"5433"_s, {}, u"dogana_x1"_s, {}};
    QTest::newRow("socket") << store::Server{u"/tmp/cluster prova"_s, u"5432"_s, u"pemtarx"_s, u"prova_1"_s, {}};
    QTest::newRow("IPv6") << store::Server{u"::1"_s, {}, {}, u"d"_s, {}};
    QTest::newRow("segni") << store::Server{u"h"_s, {}, u"a@b:c"_s, u"x/y?z#w%v à"_s, {}};
    QTest::newRow("parametri") << store::Server{{}, {}, {}, u"d"_s, {u"sslmode=verify-full"_s, u"options=-c a=b&c"_s}};
}

void TestPosizione::andataERitorno()
{
    QFETCH(store::Server, server);
    const std::optional<store::Server> letto = store::server(store::indirizzo(server));
    QVERIFY(letto);
    QCOMPARE(descrivi(*letto), descrivi(server));
}

void TestPosizione::nomiSenzaMaiuscole_data()
{
    QTest::addColumn<QStringList>("voci"); // made under a fresh folder; a trailing "/" makes a folder
    QTest::addColumn<QString>("ditta");    // empty: the settings file is looked for, beside "prog" then in "config"
    QTest::addColumn<QString>("attesa");
    QTest::addColumn<int>("ambigui");

    QTest::newRow("cartella in maiuscolo") << QStringList{u"X1/dogana.mdb"_s} << u"x1"_s << u"X1/dogana.mdb"_s << 0;
    QTest::newRow("file in maiuscolo") << QStringList{u"X1/DOGANA.MDB"_s} << u"X1"_s << u"X1/DOGANA.MDB"_s << 0;
    QTest::newRow("il nome esatto vince") << QStringList{u"X1/dogana.mdb"_s, u"x1/DOGANA.MDB"_s, u"x1/dogana.mdb"_s}
                                          << u"x1"_s << u"x1/dogana.mdb"_s << 0;
    QTest::newRow("due cartelle: nessuna") << QStringList{u"AB/"_s, u"aB/"_s} << u"ab"_s << u"ab/dogana.mdb"_s << 2;
    QTest::newRow("due file: nessuno") << QStringList{u"X1/DOGANA.MDB"_s, u"X1/Dogana.mdb"_s} << u"X1"_s
                                       << u"X1/dogana.mdb"_s << 2;
    QTest::newRow("una cartella non è il file")
        << QStringList{u"X1/DOGANA.MDB/"_s} << u"X1"_s << u"X1/dogana.mdb"_s << 0;
    QTest::newRow("impostazioni in maiuscolo accanto al programma")
        << QStringList{u"prog/QUENDRIX.INI"_s, u"config/Quendrix.ini"_s} << QString() << u"prog/QUENDRIX.INI"_s << 0;
    QTest::newRow("una cartella Quendrix.ini non è il file")
        << QStringList{u"prog/Quendrix.ini/"_s, u"config/quendrix.INI"_s} << QString() << u"config/quendrix.INI"_s << 0;
    QTest::newRow("due file accanto al programma: nessuno")
        << QStringList{u"prog/quendrix.ini"_s, u"prog/QUENDRIX.INI"_s} << QString() << u"config/Quendrix.ini"_s << 2;
}

void TestPosizione::nomiSenzaMaiuscole()
{
    QFETCH(QStringList, voci);
    QFETCH(QString, ditta);
    QFETCH(QString, attesa);
    QFETCH(int, ambigui);
    QTemporaryDir cartella;
    const QString radice = cartella.path() + u'/';
    for (const QString& v : voci) {
        QVERIFY(QDir().mkpath(radice + (v.endsWith(u'/') ? v : v.section(u'/', 0, -2))));
        QVERIFY(v.endsWith(u'/') || QFile(radice + v).open(QIODevice::WriteOnly));
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(radice + u"config"_s));
    QStringList trovati;
    const QString trovato = ditta.isEmpty()
                                ? store::fileImpostazioni(radice + u"prog"_s, &trovati)
                                : store::posizioneArchivio(radice + u"manca.ini"_s, radice, ditta, &trovati);
    QCOMPARE(trovato, radice + attesa);
    QCOMPARE(trovati.size(), ambigui);
}

QTEST_GUILESS_MAIN(TestPosizione)
#include "tst_store_posizione.moc"
