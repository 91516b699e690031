#include "store/posizione.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(store::Server)

// How the store reads a company's location: a file path, or a database on a server.
class TestPosizione final : public QObject {
    Q_OBJECT
private slots:
    void indirizzi_data();
    void indirizzi();
};

namespace {

// Every part of an address, so a failure shows which one differs.
QStringList descrivi(const store::Server& s)
{
    return QStringList{u"host="_s + s.host, u"porta="_s + s.porta, u"utente="_s + s.utente, u"nome="_s + s.nome} +
           s.opzioni;
}

} // namespace

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
