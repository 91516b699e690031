#include "sorella.h"

#include "suite/moduliopzionali.h"

#include "app/dialoghi.h"
#include "app/inifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

using Operazione = std::function<void(suite::ModuliOpzionali&)>;
Q_DECLARE_METATYPE(Operazione)

namespace {

const QString zevedez = u"Zevedez"_s;
const QString assente = u"<assente>"_s;

// The called section's HANDLE exactly as written: one blank before the digits, however often rewritten.
bool handleScritto(const QString& ini, qint64 pid)
{
    return prova::rigaGrezza(ini, zevedez, u"HANDLE"_s) == u"HANDLE= "_s + QString::number(pid);
}

} // namespace

// What the called section held before the request.
enum class Precedente { Testo, Sorella, SorellaFinita, Lanciatore, Estraneo, QuestoTest };
Q_DECLARE_METATYPE(Precedente)

class TestModuliOpzionali : public QObject, private prova::Banco {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void missingProcedureIsReportedAndNothingChanges_data();
    void missingProcedureIsReportedAndNothingChanges();
    void requestActivatesTheCompanysInstanceOrStartsOne_data();
    void requestActivatesTheCompanysInstanceOrStartsOne();
    void operationsWriteTheCalledSection_data();
    void operationsWriteTheCalledSection();
    void siblingWritingAtTheSameTimeLosesNothing();

private:
    std::unique_ptr<suite::ModuliOpzionali> modulo(const QString& codiceSocieta = u"X1"_s);
    void imposta(const QString& sezione, const QString& chiave, const QString& valore) const
    {
        app::scriviIni(ini, sezione, chiave, valore == assente ? std::nullopt : std::optional<QString>(valore));
    }
    QString leggi(const QString& sezione, const QString& chiave) const { return app::leggiIni(ini, sezione, chiave); }
    QByteArray contenuto() const;
    // The one message shown, with the program's title and only an OK button.
    void soloMessaggio(const QString& testo) const;
    // Starts a sibling as if an earlier request had, and records it as running for `ditta`.
    qint64 giaInEsecuzione(const QString& ditta);

    QString rigaComando;
    app::DialoghiScript dialoghi;
    std::unique_ptr<QProcess> estraneo;
};

void TestModuliOpzionali::initTestCase()
{
    // A blank in every path: each start goes through the quoting of the command line.
    QVERIFY(prepara(QDir::tempPath() + u"/pemtarx suite-XXXXXX"_s));
    rigaComando = prova::tra(programma) + u' ' + prova::tra(contatore) + u" prova"_s;
}

void TestModuliOpzionali::init()
{
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((u"; impostazioni della suite\r\n[BASE]\r\nDITTA=X1\r\n[APPLICATIVI]\r\nZevedez="_s + rigaComando +
                u"\r\n[Zevedez]\r\nHANDLE=\r\nDITTA=\r\n"_s)
                   .toLatin1());
    dialoghi.domande.clear();
    dialoghi.risposte.clear();
}

void TestModuliOpzionali::cleanup()
{
    pulisci();
    if (estraneo) {
        estraneo->kill();
        estraneo->waitForFinished(5000);
        estraneo.reset();
    }
}

std::unique_ptr<suite::ModuliOpzionali> TestModuliOpzionali::modulo(const QString& codiceSocieta)
{
    auto m = std::make_unique<suite::ModuliOpzionali>(ini, codiceSocieta, dialoghi, processi);
    m->nomeProceduraChiamata(zevedez);
    m->nomeProceduraChiamante(u"BASE"_s);
    return m;
}

QByteArray TestModuliOpzionali::contenuto() const
{
    QFile file(ini);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestModuliOpzionali::soloMessaggio(const QString& testo) const
{
    QCOMPARE(dialoghi.domande.size(), 1);
    QCOMPARE(dialoghi.domande[0].testo, testo);
    QCOMPARE(dialoghi.domande[0].titolo, u"Pemtarx"_s);
    QCOMPARE(dialoghi.domande[0].pulsanti, app::Pulsanti::Ok);
    QCOMPARE(dialoghi.domande[0].icona, app::Icona::Nessuna);
}

qint64 TestModuliOpzionali::giaInEsecuzione(const QString& ditta)
{
    modulo()->lanciaProcedura(leggi(u"APPLICATIVI"_s, zevedez));
    const qint64 pid = processi.avviati.value(0);
    QDeadlineTimer termine(10000);
    while (pid && !prova::pidAvviati(contatore).contains(pid) && !termine.hasExpired())
        QTest::qWait(10);
    imposta(zevedez, u"DITTA"_s, ditta);
    return prova::pidAvviati(contatore).contains(pid) ? pid : 0;
}

void TestModuliOpzionali::missingProcedureIsReportedAndNothingChanges_data()
{
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QString>("messaggio");
    const QString manca = prova::tra(cartella->filePath(u"manca"_s)) + u" uno"_s;
    const QString nonPresente = u"Zevedez non presente su "_s + ini;
    QTest::newRow("name missing") << u"APPLICATIVI"_s << assente << nonPresente;
    QTest::newRow("blank command") << u"APPLICATIVI"_s << u"   "_s << nonPresente;
    QTest::newRow("named in another section") << u"ALTRI"_s << rigaComando << nonPresente;
    QTest::newRow("program that cannot start") << u"APPLICATIVI"_s << manca << manca + u" non trovato"_s;
}

void TestModuliOpzionali::missingProcedureIsReportedAndNothingChanges()
{
    QFETCH(QString, sezione);
    QFETCH(QString, valore);
    QFETCH(QString, messaggio);
    imposta(u"APPLICATIVI"_s, zevedez, assente);
    imposta(sezione, zevedez, valore);
    imposta(zevedez, u"HANDLE"_s, u" 77"_s);
    imposta(zevedez, u"DITTA"_s, u"Y2"_s);
    const QByteArray prima = contenuto();
    auto m = modulo(u"P9"_s);

    m->attivaProcedura();

    soloMessaggio(messaggio);
    QVERIFY(processi.avviati.isEmpty());
    QVERIFY(processi.richieste.isEmpty());
    QCOMPARE(contenuto(), prima);
    // No company was read: the caller's is written, never the program's own.
    m->scriviCodiceSocieta();
    QCOMPARE(prova::rigaGrezza(ini, zevedez, u"DITTA"_s), u"DITTA=X1"_s);
}

void TestModuliOpzionali::requestActivatesTheCompanysInstanceOrStartsOne_data()
{
    QTest::addColumn<Precedente>("precedente");
    QTest::addColumn<QString>("handle");
    QTest::addColumn<QString>("dittaChiamante");
    QTest::addColumn<QString>("dittaChiamata");
    QTest::addColumn<bool>("chiesta");   // the recorded task was asked to come forward
    QTest::addColumn<bool>("attivata");  // and it did, so nothing new was started
    // No task to ask for: a new instance, and the stale company left in the section gives way to the caller's.
    const auto testo = [](const char* nome, const QString& handle) {
        QTest::newRow(nome) << Precedente::Testo << handle << u"x1"_s << u"Y2"_s << false << false;
    };
    testo("no handle key", assente);
    testo("empty handle", QString());
    testo("blank handle", u"   "_s);
    testo("handle not a number", u"abc"_s);
    testo("handle a number followed by text", u"12abc"_s);
    testo("handle zero", u"0"_s);
    testo("handle negative", u"-4"_s);
    testo("handle beyond a task number", u"99999999999"_s);
    const auto corre = [](const char* nome, Precedente p, const QString& chiamante, const QString& chiamata,
                          bool chiesta, bool attivata) {
        QTest::newRow(nome) << p << QString() << chiamante << chiamata << chiesta << attivata;
    };
    corre("running for the same company is activated", Precedente::Sorella, u"X1"_s, u"X1"_s, true, true);
    corre("same company, caller in lower case", Precedente::Sorella, u"x1"_s, u"X1"_s, true, true);
    corre("same company, sibling in lower case", Precedente::Sorella, u"X1"_s, u"x1"_s, true, true);
    corre("running for another company: a second instance", Precedente::Sorella, u"X1"_s, u"Y2"_s, false, false);
    corre("ended task: a new instance", Precedente::SorellaFinita, u"X1"_s, u"X1"_s, true, false);
    corre("started through a launcher that execs it", Precedente::Lanciatore, u"X1"_s, u"X1"_s, true, true);
    corre("handle of a task now running sleep", Precedente::Estraneo, u"X1"_s, u"X1"_s, true, false);
    corre("handle of the caller's own task", Precedente::QuestoTest, u"X1"_s, u"X1"_s, true, false);
}

void TestModuliOpzionali::requestActivatesTheCompanysInstanceOrStartsOne()
{
    QFETCH(Precedente, precedente);
    QFETCH(QString, handle);
    QFETCH(QString, dittaChiamante);
    QFETCH(QString, dittaChiamata);
    QFETCH(bool, chiesta);
    QFETCH(bool, attivata);
    imposta(u"BASE"_s, u"DITTA"_s, dittaChiamante);
    qint64 vecchio = 0;
    QList<qint64> sorelle;  // every sibling expected in the counter file
    switch (precedente) {
    case Precedente::Testo: break;
    case Precedente::Lanciatore:
        QVERIFY(prova::scriviLanciatore(cartella->filePath(u"lancia"_s), programma, false));
        imposta(u"APPLICATIVI"_s, zevedez,
                prova::tra(cartella->filePath(u"lancia"_s)) + u' ' + prova::tra(contatore) + u" x"_s);
        Q_FALLTHROUGH();
    case Precedente::Sorella:
    case Precedente::SorellaFinita:
        QVERIFY((vecchio = giaInEsecuzione(dittaChiamata)) > 0);
        sorelle << vecchio;
        if (precedente == Precedente::SorellaFinita) {
            prova::ferma(vecchio);
            QVERIFY(!prova::vivo(vecchio));
        }
        break;
    case Precedente::Estraneo:
        estraneo = std::make_unique<QProcess>();
        estraneo->start(u"sleep"_s, {u"30"_s});
        QVERIFY(estraneo->waitForStarted(5000));
        vecchio = estraneo->processId();
        break;
    case Precedente::QuestoTest: vecchio = QCoreApplication::applicationPid(); break;
    }
    if (sorelle.isEmpty()) {
        imposta(zevedez, u"HANDLE"_s, vecchio ? u' ' + QString::number(vecchio) : handle);
        imposta(zevedez, u"DITTA"_s, dittaChiamata);
    }
    auto m = modulo(u"P9"_s);

    m->attivaProcedura();
    m->scriviCodiceSocieta();

    QCOMPARE(processi.richieste, chiesta ? QList<qint64>{vecchio} : QList<qint64>());
    QCOMPARE(processi.attivati, attivata ? QList<qint64>{vecchio} : QList<qint64>());
    if (!attivata) {
        QVERIFY(!processi.avviati.isEmpty());
        sorelle << processi.avviati.last();
        QCOMPARE(m->numeroHandleString().toString(), u' ' + QString::number(sorelle.last()));
    }
    QCOMPARE(processi.avviati, sorelle);
    QTRY_COMPARE_WITH_TIMEOUT(prova::pidAvviati(contatore), sorelle, 10000);
    if (attivata)
        QVERIFY(prova::vivo(vecchio));
    QVERIFY(handleScritto(ini, sorelle.last()));
    QCOMPARE(prova::rigaGrezza(ini, zevedez, u"DITTA"_s), u"DITTA=X1"_s);
    QVERIFY(dialoghi.domande.isEmpty());
}

void TestModuliOpzionali::operationsWriteTheCalledSection_data()
{
    QTest::addColumn<Operazione>("operazione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("riga");
    QTest::newRow("scriviHandle: own task, after a blank")
        << Operazione([](suite::ModuliOpzionali& m) { m.scriviHandle(); }) << u"HANDLE"_s
        << u"HANDLE= "_s + QString::number(QCoreApplication::applicationPid());
    QTest::newRow("pulisciHandle: kept, empty")
        << Operazione([](suite::ModuliOpzionali& m) { m.pulisciHandle(); }) << u"HANDLE"_s << u"HANDLE="_s;
    QTest::newRow("codiceDitta: the program's company, whatever given")
        << Operazione([](suite::ModuliOpzionali& m) {
               m.codiceDitta(u"ZZ"_s);
               m.scriviCodiceSocieta();
           })
        << u"DITTA"_s << u"DITTA=P9"_s;
    QTest::newRow("leggiHandle, leggiCodiceSocieta: what the file holds, company upper-cased")
        << Operazione([](suite::ModuliOpzionali& m) {
               m.leggiHandle();
               m.leggiCodiceSocieta();
               QCOMPARE(m.numeroHandleString().toString(), u"4321"_s);
               QCOMPARE(m.codiceDitta().toString(), u"Y3"_s);
               m.scriviCodiceSocieta();
           })
        << u"DITTA"_s << u"DITTA=Y3"_s;
}

void TestModuliOpzionali::operationsWriteTheCalledSection()
{
    QFETCH(Operazione, operazione);
    QFETCH(QString, chiave);
    QFETCH(QString, riga);
    imposta(zevedez, u"HANDLE"_s, u"4321"_s);
    imposta(zevedez, u"DITTA"_s, u"y3"_s);
    auto m = modulo(u"P9"_s);
    QFile vecchio(ini);
    QVERIFY(vecchio.open(QIODevice::ReadOnly));
    const QByteArray prima = vecchio.readAll();

    operazione(*m);
    if (QTest::currentTestFailed())
        return;

    // Replaced by a rename: a sibling that had the file open still reads it whole and unchanged.
    QVERIFY(vecchio.seek(0));
    QCOMPARE(vecchio.readAll(), prima);
    QCOMPARE(prova::rigaGrezza(ini, zevedez, chiave), riga);
    QCOMPARE(leggi(u"BASE"_s, u"DITTA"_s), u"X1"_s);
    QVERIFY(processi.avviati.isEmpty());
}

void TestModuliOpzionali::siblingWritingAtTheSameTimeLosesNothing()
{
    constexpr int scritture = 40;
    QProcess sorella;
    sorella.start(prova::programmaSorella(),
                  {u"--scrivi"_s, ini, zevedez, QString::number(scritture)});
    QVERIFY(sorella.waitForStarted(5000));
    QTRY_COMPARE_WITH_TIMEOUT(leggi(zevedez, u"SVEGLIA1"_s), u"1"_s, 10000);

    auto m = modulo(u"P9"_s);
    m->codiceDitta(QString());
    for (int i = 0; i < scritture; ++i) {
        m->pulisciHandle();
        m->scriviCodiceSocieta();
        m->scriviHandle();
    }

    QVERIFY(sorella.waitForFinished(60000));
    QCOMPARE(sorella.exitCode(), 0);
    for (int i = 1; i <= scritture; ++i)
        QCOMPARE(leggi(zevedez, u"SVEGLIA"_s + QString::number(i)), QString::number(i));
    QVERIFY(handleScritto(ini, QCoreApplication::applicationPid()));
    QCOMPARE(leggi(zevedez, u"DITTA"_s), u"P9"_s);
    QCOMPARE(leggi(u"BASE"_s, u"DITTA"_s), u"X1"_s);
    QCOMPARE(leggi(u"APPLICATIVI"_s, zevedez), rigaComando);
}

QTEST_MAIN(TestModuliOpzionali)
#include "tst_moduliopzionali.moc"
