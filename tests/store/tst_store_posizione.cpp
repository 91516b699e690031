#include "store/posizione.h"

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
    QTest::newRow("la query vince") << u"postgresql://a@h1:1/n1?host=h2&user=b&dbname=n2"_s << true
                                    << store::Server{u"h2"_s, u"1"_s, u"b"_s, u"n2"_s, {}};
    QTest::newRow("solo predefiniti") << u"postgresql://"_s << true << store::Server{};
    QTest::newRow("altri parametri di libpq")
        << u"postgresql://db/d?sslmode=require&application_name=a%20b"_s << true
        << store::Server{u"db"_s, {}, {}, u"d"_s, {u"sslmode=require"_s, u"application_name=a b"_s}};
    QTest::newRow("IPv6") << u"postgresql://[::1]/d"_s << true << store::Server{u"::1"_s, {}, {}, u"d"_s, {}};
    QTest::newRow("segni") << u"postgresql://a%40b%3Ac@h/x%2Fy%3Fz%23w%25v%20%C3%A0"_s << true
                           << store::Server{u"h"_s, {}, u"a@b:c"_s, u"x/y?z#w%v à"_s, {}};
    QTest::newRow("socket con uno spazio")
        << u"postgresql:///prova_1?host=%2Ftmp%2Fcluster%20prova&port=5432&user=pemtarx"_s << true
        << store::Server{u"/tmp/cluster prova"_s, u"5432"_s, u"pemtarx"_s, u"prova_1"_s, {}};
    QTest::newRow("segni nei parametri")
        << u"postgresql:///d?sslmode=verify-full&options=-c%20a%3Db%26c"_s << true
        << store::Server{{}, {}, {}, u"d"_s, {u"sslmode=verify-full"_s, u"options=-c a=b&c"_s}};
}

void TestPosizione::indirizzi()
{
    QFETCH(QString, posizione);
    QFETCH(bool, server);
    QFETCH(store::Server, attesa);
    const std::optional<store::Server> s = store::server(posizione);
    QCOMPARE(s.has_value(), server);
    if (!s)
        return;
    QCOMPARE(descrivi(*s), descrivi(attesa));
    // Written back as an address, it reads the same.
    const std::optional<store::Server> letto = store::server(store::indirizzo(*s));
    QVERIFY(letto);
    QCOMPARE(descrivi(*letto), descrivi(attesa));
}

QTEST_GUILESS_MAIN(TestPosizione)
#include "tst_store_posizione.moc"
