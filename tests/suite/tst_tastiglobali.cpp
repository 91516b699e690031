#include "sorella.h"

#include "suite/tastiglobali.h"

#include "app/dialoghi.h"
#include "app/inifile.h"
#include "app/puntatore.h"
#include "app/tasti.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The window and the processes as the hot keys see them, logging what was asked of them.
class FinestraProva final : public suite::FinestraSuite {
public:
    explicit FinestraProva(QStringList& registro) : registro_(registro) {}
    void premiUscitaVisibile() override { registro_ << u"uscita"_s; }
    void terminaSubito() override { registro_ << u"termina"_s; }
    QStringList& registro_;
};

// Starts nothing; notes whether the pointer was back to normal by the time of the request.
class ProcessiFinti final : public suite::Processi {
public:
    explicit ProcessiFinti(QStringList& registro) : registro_(registro) {}
    qint64 avvia(const QString&) override
    {
        registro_ << u"avvia"_s;
        puntatoreNormale = QGuiApplication::overrideCursor() == nullptr;
        return 4242;
    }
    bool attiva(qint64, const QString&, const QString&) override
    {
        registro_ << u"attiva"_s;
        return true;
    }
    bool puntatoreNormale = false;
    QStringList& registro_;
};

} // namespace

class TestTastiGlobali : public QObject, private prova::Banco {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void keysAndWhatTheyDo_data();
    void keysAndWhatTheyDo();
    void alarmClockStartsBringsForwardAndStartsForAnotherCompany();

private:
    QStringList registro;
};

void TestTastiGlobali::init()
{
    QVERIFY(prepara());
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QString testo = u"[BASE]\r\nDITTA=X1\r\n[APPLICATIVI]\r\nZevedez="_s + programma + u' ' + contatore;
    file.write((testo + u"\r\n"_s).toLatin1());
    registro.clear();
    app::ripristinaPuntatore();
}

void TestTastiGlobali::cleanup()
{
    pulisci();
    cartella.reset();
}

void TestTastiGlobali::keysAndWhatTheyDo_data()
{
    QTest::addColumn<int>("tasto");
    QTest::addColumn<Qt::KeyboardModifiers>("modificatori");
    QTest::addColumn<int>("risposta");
    QTest::addColumn<QStringList>("effetti");
    const auto r = [](const char* nome, int tasto, Qt::KeyboardModifiers m, int risposta, const QStringList& e) {
        QTest::newRow(nome) << tasto << m << risposta << e;
    };
    const QStringList uscita{u"uscita"_s}, sveglia{u"avvia"_s};
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, alt = Qt::AltModifier, shift = Qt::ShiftModifier;
    r("F2", Qt::Key_F2, Qt::NoModifier, 0, uscita);
    r("Alt+F2", Qt::Key_F2, alt, 0, uscita);
    r("Ctrl+F2", Qt::Key_F2, ctrl, 0, uscita);
    r("Shift+F2", Qt::Key_F2, shift, 0, uscita);
    r("Ctrl+Alt+F2, Yes", Qt::Key_F2, ctrl | alt, app::Si, {u"termina"_s});
    r("Ctrl+Alt+F2, No", Qt::Key_F2, ctrl | alt, app::No, {});
    r("Ctrl+Shift+F2, Yes", Qt::Key_F2, ctrl | shift, app::Si, {u"termina"_s});
    r("Ctrl+Alt+Shift+F2, No", Qt::Key_F2, ctrl | alt | shift, app::No, {});
    r("Ctrl+Shift+S", Qt::Key_S, ctrl | shift, 0, sveglia);
    r("Ctrl+Alt+Shift+S", Qt::Key_S, ctrl | shift | alt, 0, sveglia);
    r("Ctrl+S", Qt::Key_S, ctrl, 0, {});
    r("Shift+S", Qt::Key_S, shift, 0, {});
    r("S", Qt::Key_S, Qt::NoModifier, 0, {});
    r("F4", Qt::Key_F4, Qt::NoModifier, 0, {});
    r("Enter", Qt::Key_Return, Qt::NoModifier, 0, {});
    r("Ctrl+Shift+Enter", Qt::Key_Return, ctrl | shift, 0, {});
}

void TestTastiGlobali::keysAndWhatTheyDo()
{
    QFETCH(int, tasto);
    QFETCH(Qt::KeyboardModifiers, modificatori);
    QFETCH(int, risposta);
    QFETCH(QStringList, effetti);
    FinestraProva finestra(registro);
    app::DialoghiScript dialoghi;
    if (risposta)
        dialoghi.risposte << risposta;
    ProcessiFinti processi(registro);
    suite::TastiGlobali tasti(finestra, dialoghi, processi);
    tasti.fileIni = ini;
    tasti.codiceSocieta = u"P9"_s;
    app::clessidraRichiesta = false;

    tasti.tastiGlobali(app::tasti::codice(tasto), app::tasti::maschera(modificatori));

    QCOMPARE(registro, effetti);
    // Only the forced exit asks, with No as the default.
    QCOMPARE(dialoghi.domande.size(), risposta ? 1 : 0);
    if (risposta) {
        const auto& d = dialoghi.domande.first();
        QCOMPARE(d.testo, u"ESCO ?"_s);
        QCOMPARE(d.titolo, u"USCITA FORZATA"_s);
        QCOMPARE(d.pulsanti, app::Pulsanti::SiNo);
        QCOMPARE(d.icona, app::Icona::Esclamazione);
        QCOMPARE(d.predefinito, int(app::No));
        QCOMPARE(tasti.risposta, risposta);
    }
    if (effetti == QStringList{u"avvia"_s}) {
        // The alarm clock restores the pointer before starting and records the caller's company, not P9.
        QVERIFY(app::clessidraRichiesta);
        QVERIFY(processi.puntatoreNormale);
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(app::leggiIni(ini, u"Zevedez"_s, u"HANDLE"_s), u"4242"_s);
        QCOMPARE(app::leggiIni(ini, u"Zevedez"_s, u"DITTA"_s), u"X1"_s);
    }
}

void TestTastiGlobali::alarmClockStartsBringsForwardAndStartsForAnotherCompany()
{
    FinestraProva finestra(registro);
    app::DialoghiScript dialoghi;
    suite::TastiGlobali tasti(finestra, dialoghi, processi);
    tasti.fileIni = ini;
    tasti.codiceSocieta = u"X1"_s;
    const int ctrlShift = app::tasti::Ctrl | app::tasti::Shift;

    tasti.tastiGlobali(app::tasti::S, ctrlShift);
    QCOMPARE(processi.avviati.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(prova::pidAvviati(contatore), processi.avviati, 10000);

    tasti.tastiGlobali(app::tasti::S, ctrlShift);
    QCOMPARE(processi.attivati, processi.avviati);
    QCOMPARE(processi.avviati.size(), 1);

    app::scriviIni(ini, u"BASE"_s, u"DITTA"_s, u"Y2"_s);
    tasti.tastiGlobali(app::tasti::S, ctrlShift);
    QCOMPARE(processi.avviati.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(prova::pidAvviati(contatore), processi.avviati, 10000);
    QCOMPARE(app::leggiIni(ini, u"Zevedez"_s, u"HANDLE"_s), QString::number(processi.avviati[1]));
    QCOMPARE(app::leggiIni(ini, u"Zevedez"_s, u"DITTA"_s), u"Y2"_s);
    QVERIFY(dialoghi.domande.isEmpty());
    QVERIFY(registro.isEmpty());
}

QTEST_MAIN(TestTastiGlobali)
#include "tst_tastiglobali.moc"
