#include "sorella.h"

#include "suite/tastiglobali.h"

#include "app/dialogs.h"
#include "app/inifile.h"
#include "app/pointer.h"
#include "app/tasti.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The window as the hot keys see it, with a log of what was asked of it and of the dialogs.
class FinestraProva final : public suite::FinestraSuite {
public:
    explicit FinestraProva(QStringList& registro) : registro_(registro) {}
    void premiUscitaVisibile() override { registro_ << u"uscita"_s; }
    void terminaSubito() override { registro_ << u"termina"_s; }

private:
    QStringList& registro_;
};

class DialogsRegistrati final : public app::Dialogs {
public:
    explicit DialogsRegistrati(QStringList& registro) : registro_(registro) {}
    app::DialogsScript script;
    int ask(const QString& testo, const QString& titolo, app::Pulsanti pulsanti, app::Icona icona,
            int predefinito) override
    {
        registro_ << u"domanda"_s;
        return script.ask(testo, titolo, pulsanti, icona, predefinito);
    }

private:
    QStringList& registro_;
};

// Starts nothing; notes each request and whether the pointer was back to normal by then.
class ProcessiFinti final : public suite::Processi {
public:
    explicit ProcessiFinti(QStringList& registro) : registro_(registro) {}
    bool puntatoreNormale = false;
    qint64 avvia(const QString&) override
    {
        registro_ << u"avvia"_s;
        puntatoreNormale = QGuiApplication::overrideCursor() == nullptr;
        return 4242;
    }
    bool attiva(qint64, const QString&) override
    {
        registro_ << u"attiva"_s;
        return true;
    }

private:
    QStringList& registro_;
};

} // namespace

class TestTastiGlobali : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void keysAndWhatTheyDo_data();
    void keysAndWhatTheyDo();
    void forcedExitAsksBeforeAnythingElse();
    void alarmClockRestoresThePointerAndRecordsTheCompany();
    void alarmClockStartsBringsForwardAndStartsForAnotherCompany();

private:
    void scriviIni(const QString& applicativi);

    std::unique_ptr<QTemporaryDir> cartella;
    QString ini;
    QString contatore;
    QString rigaComando;
    QStringList registro;
};

void TestTastiGlobali::init()
{
    cartella = std::make_unique<QTemporaryDir>();
    QVERIFY(cartella->isValid());
    ini = cartella->filePath(u"Quendrix.ini"_s);
    contatore = cartella->filePath(u"conta"_s);
    const QString programma = cartella->filePath(u"sveglia"_s);
    QVERIFY(prova::copiaSorella(programma));
    rigaComando = programma + u' ' + contatore;
    scriviIni(rigaComando);
    registro.clear();
    app::ripristinaPuntatore();
}

void TestTastiGlobali::cleanup()
{
    for (const qint64 pid : prova::pidAvviati(contatore))
        prova::ferma(pid);
    cartella.reset();
}

void TestTastiGlobali::scriviIni(const QString& applicativi)
{
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write((u"[BASE]\r\nDITTA=X1\r\n[APPLICATIVI]\r\nZevedez="_s + applicativi + u"\r\n"_s).toLatin1());
}

void TestTastiGlobali::keysAndWhatTheyDo_data()
{
    QTest::addColumn<int>("tasto");
    QTest::addColumn<Qt::KeyboardModifiers>("modificatori");
    QTest::addColumn<int>("risposta");
    QTest::addColumn<QStringList>("effetti");
    const Qt::KeyboardModifiers nessuno = Qt::NoModifier;
    const QStringList uscita{u"uscita"_s};
    const QStringList sveglia{u"avvia"_s};
    QTest::newRow("F2") << int(Qt::Key_F2) << nessuno << 0 << uscita;
    QTest::newRow("Alt+F2") << int(Qt::Key_F2) << Qt::KeyboardModifiers(Qt::AltModifier) << 0 << uscita;
    QTest::newRow("Ctrl+F2") << int(Qt::Key_F2) << Qt::KeyboardModifiers(Qt::ControlModifier) << 0 << uscita;
    QTest::newRow("Shift+F2") << int(Qt::Key_F2) << Qt::KeyboardModifiers(Qt::ShiftModifier) << 0 << uscita;
    QTest::newRow("Ctrl+Alt+F2, Yes") << int(Qt::Key_F2) << (Qt::ControlModifier | Qt::AltModifier)
                                      << int(app::Si) << QStringList{u"domanda"_s, u"termina"_s};
    QTest::newRow("Ctrl+Alt+F2, No") << int(Qt::Key_F2) << (Qt::ControlModifier | Qt::AltModifier)
                                     << int(app::No) << QStringList{u"domanda"_s};
    QTest::newRow("Ctrl+Alt+Shift+F2, No")
        << int(Qt::Key_F2) << (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier) << int(app::No)
        << QStringList{u"domanda"_s};
    QTest::newRow("Ctrl+Shift+S") << int(Qt::Key_S) << (Qt::ControlModifier | Qt::ShiftModifier) << 0 << sveglia;
    QTest::newRow("Ctrl+Alt+Shift+S") << int(Qt::Key_S)
                                      << (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier) << 0
                                      << sveglia;
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << Qt::KeyboardModifiers(Qt::ControlModifier) << 0 << QStringList();
    QTest::newRow("Shift+S") << int(Qt::Key_S) << Qt::KeyboardModifiers(Qt::ShiftModifier) << 0 << QStringList();
    QTest::newRow("S") << int(Qt::Key_S) << nessuno << 0 << QStringList();
    QTest::newRow("F4") << int(Qt::Key_F4) << nessuno << 0 << QStringList();
    QTest::newRow("Enter") << int(Qt::Key_Return) << nessuno << 0 << QStringList();
    QTest::newRow("Ctrl+Shift+Enter") << int(Qt::Key_Return) << (Qt::ControlModifier | Qt::ShiftModifier) << 0
                                      << QStringList();
}

void TestTastiGlobali::keysAndWhatTheyDo()
{
    QFETCH(int, tasto);
    QFETCH(Qt::KeyboardModifiers, modificatori);
    QFETCH(int, risposta);
    QFETCH(QStringList, effetti);
    FinestraProva finestra(registro);
    DialogsRegistrati dialoghi(registro);
    if (risposta)
        dialoghi.script.risposte << risposta;
    ProcessiFinti processi(registro);
    suite::TastiGlobali tasti(finestra, dialoghi, processi);
    tasti.fileIni = ini;
    tasti.codiceSocieta = u"X1"_s;

    tasti.tastiGlobali(app::tasti::codice(tasto), app::tasti::maschera(modificatori));

    QCOMPARE(registro, effetti);
    QCOMPARE(tasti.tastoShift, modificatori.testFlag(Qt::ShiftModifier));
    QCOMPARE(tasti.tastoCtrl, modificatori.testFlag(Qt::ControlModifier));
    QCOMPARE(tasti.tastoAlt, modificatori.testFlag(Qt::AltModifier));
}

void TestTastiGlobali::forcedExitAsksBeforeAnythingElse()
{
    FinestraProva finestra(registro);
    DialogsRegistrati dialoghi(registro);
    dialoghi.script.risposte << app::No;
    ProcessiFinti processi(registro);
    suite::TastiGlobali tasti(finestra, dialoghi, processi);

    tasti.tastiGlobali(app::tasti::F2, app::tasti::Ctrl | app::tasti::Alt);

    QCOMPARE(dialoghi.script.domande.size(), 1);
    const auto& domanda = dialoghi.script.domande.first();
    QCOMPARE(domanda.testo, u"ESCO ?"_s);
    QCOMPARE(domanda.titolo, u"USCITA FORZATA"_s);
    QCOMPARE(domanda.pulsanti, app::Pulsanti::SiNo);
    QCOMPARE(domanda.icona, app::Icona::Esclamazione);
    QCOMPARE(domanda.predefinito, int(app::No));
    QCOMPARE(tasti.risposta, int(app::No));
    QCOMPARE(registro, QStringList{u"domanda"_s});
}

void TestTastiGlobali::alarmClockRestoresThePointerAndRecordsTheCompany()
{
    FinestraProva finestra(registro);
    DialogsRegistrati dialoghi(registro);
    ProcessiFinti processi(registro);
    suite::TastiGlobali tasti(finestra, dialoghi, processi);
    tasti.fileIni = ini;
    tasti.codiceSocieta = u"P9"_s;
    app::clessidraRichiesta = false;

    tasti.tastiGlobali(app::tasti::S, app::tasti::Ctrl | app::tasti::Shift);

    QCOMPARE(registro, QStringList{u"avvia"_s});
    QVERIFY(app::clessidraRichiesta);
    QVERIFY(processi.puntatoreNormale);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(app::leggiIni(ini, u"Zevedez"_s, u"HANDLE"_s), u"4242"_s);
    // The caller's company is the one of section BASE, not the program's own code.
    QCOMPARE(app::leggiIni(ini, u"Zevedez"_s, u"DITTA"_s), u"X1"_s);
}

void TestTastiGlobali::alarmClockStartsBringsForwardAndStartsForAnotherCompany()
{
    FinestraProva finestra(registro);
    app::DialogsScript dialoghi;
    prova::ProcessiRegistrati processi;
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
