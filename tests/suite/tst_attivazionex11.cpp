// Bringing a sibling's window forward on a real X server: ctest runs it on a private Xvfb and session bus.
#include "sorella.h"

#include "suite/processi.h"

#include "app/processo.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

xcb_connection_t* connessione()
{
    auto* nativa = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return nativa ? nativa->connection() : nullptr;
}

// A reply freed with its error, which is dropped: a window may vanish while it is queried.
template <typename R, typename C>
std::unique_ptr<R, decltype(&std::free)> chiedi(R* (*risposta)(xcb_connection_t*, C, xcb_generic_error_t**), C cookie)
{
    xcb_generic_error_t* errore = nullptr;
    R* r = risposta(connessione(), cookie, &errore);
    std::free(errore);
    return {r, &std::free};
}

xcb_window_t radice()
{
    return xcb_setup_roots_iterator(xcb_get_setup(connessione())).data->root;
}

xcb_atom_t atomo(const char* nome)
{
    const auto r = chiedi(xcb_intern_atom_reply,
                          xcb_intern_atom(connessione(), 0, static_cast<uint16_t>(qstrlen(nome)), nome));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The first 32-bit value of a property, 0 when there is none.
uint32_t valore(xcb_window_t finestra, const char* proprieta, xcb_atom_t tipo)
{
    const auto r = chiedi(xcb_get_property_reply,
                          xcb_get_property(connessione(), 0, finestra, atomo(proprieta), tipo, 0, 1));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
        return 0;
    return *static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
}

bool visibile(xcb_window_t finestra)
{
    const auto a = chiedi(xcb_get_window_attributes_reply, xcb_get_window_attributes(connessione(), finestra));
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

QList<xcb_window_t> figli(xcb_window_t padre)
{
    const auto albero = chiedi(xcb_query_tree_reply, xcb_query_tree(connessione(), padre));
    if (!albero)
        return {};
    const xcb_window_t* primo = xcb_query_tree_children(albero.get());
    return QList<xcb_window_t>(primo, primo + xcb_query_tree_children_length(albero.get()));
}

// The shown window of `pid` anywhere under `padre`, 0 when there is none.
xcb_window_t finestraDi(qint64 pid, xcb_window_t padre = XCB_WINDOW_NONE)
{
    for (const xcb_window_t figlio : figli(padre ? padre : radice())) {
        if (valore(figlio, "_NET_WM_PID", XCB_ATOM_CARDINAL) == pid && visibile(figlio))
            return figlio;
        if (const xcb_window_t sotto = finestraDi(pid, figlio))
            return sotto;
    }
    return XCB_WINDOW_NONE;
}

// The shown child of the root at the top of the stack.
xcb_window_t inCima()
{
    const QList<xcb_window_t> tutte = figli(radice());
    for (auto it = tutte.crbegin(); it != tutte.crend(); ++it) {
        if (visibile(*it))
            return *it;
    }
    return XCB_WINDOW_NONE;
}

xcb_window_t fuoco()
{
    const auto r = chiedi(xcb_get_input_focus_reply, xcb_get_input_focus(connessione()));
    return r ? r->focus : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_window_t finestraAttiva()
{
    return valore(radice(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
}

bool gestorePronto()
{
    const uint32_t verifica = valore(radice(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW);
    return verifica && valore(verifica, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW) == verifica;
}

// Asks the window manager to minimise `finestra`, as its title-bar button would.
void riduciAIcona(xcb_window_t finestra)
{
    xcb_client_message_event_t messaggio{};
    messaggio.response_type = XCB_CLIENT_MESSAGE;
    messaggio.format = 32;
    messaggio.window = finestra;
    messaggio.type = atomo("WM_CHANGE_STATE");
    messaggio.data.data32[0] = 3;  // IconicState
    xcb_send_event(connessione(), 0, radice(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&messaggio));
    xcb_flush(connessione());
}

void fermaServer(QProcess& processo)
{
    if (processo.state() == QProcess::NotRunning)
        return;
    processo.terminate();
    if (!processo.waitForFinished(5000)) {
        processo.kill();
        processo.waitForFinished(5000);
    }
}

} // namespace

class TestAttivazioneX11 : public QObject, private prova::Banco {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void theEarlierWindowComesForward_data();
    void theEarlierWindowComesForward();
    void withoutAWindowAProcessIsNotActivated();

private:
    // Starts a sibling and waits for its window; 0 when it has none in time.
    xcb_window_t avviaConFinestra(const QString& riga, qint64& pid, QString& avvio);

    QString rigaComando;
    QString rigaLanciatore; // through a launcher that stays the sibling's parent
    std::unique_ptr<QProcess> gestore;
};

void TestAttivazioneX11::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
    QVERIFY(connessione());
    QVERIFY(prepara());
    rigaComando = programma + u' ' + contatore;
    QVERIFY(prova::scriviLanciatore(cartella->filePath(u"lancia"_s), programma, true));
    rigaLanciatore = cartella->filePath(u"lancia"_s) + u' ' + contatore;
}

void TestAttivazioneX11::cleanup()
{
    pulisci();
    if (gestore) {
        fermaServer(*gestore);
        gestore.reset();
    }
}

xcb_window_t TestAttivazioneX11::avviaConFinestra(const QString& riga, qint64& pid, QString& avvio)
{
    const qsizetype prima = prova::avvii(contatore).size();
    pid = processi.avvia(riga);
    avvio = app::avvioProcesso(pid);
    QDeadlineTimer termine(15000);
    xcb_window_t finestra = XCB_WINDOW_NONE;
    // The window is the sibling's, which a launcher may have started as its child.
    for (qint64 sorella = 0; pid && !termine.hasExpired(); QTest::qWait(20)) {
        if ((sorella = prova::pidAvviati(contatore).value(prima)) && (finestra = finestraDi(sorella)))
            break;
    }
    return finestra;
}

void TestAttivazioneX11::theEarlierWindowComesForward_data()
{
    QTest::addColumn<bool>("conGestore");
    QTest::addColumn<bool>("lanciatore");
    QTest::newRow("without a window manager: raised and focused") << false << false;
    QTest::newRow("with a window manager: active, even when minimised") << true << false;
    QTest::newRow("the window of a launcher's child") << true << true;
}

void TestAttivazioneX11::theEarlierWindowComesForward()
{
    QFETCH(bool, conGestore);
    QFETCH(bool, lanciatore);
    if (conGestore) {
        const QString openbox = QStandardPaths::findExecutable(u"openbox"_s);
        QVERIFY2(!openbox.isEmpty(), "openbox is not installed");
        gestore = std::make_unique<QProcess>();
        gestore->setStandardOutputFile(QProcess::nullDevice());
        gestore->setStandardErrorFile(QProcess::nullDevice());
        gestore->start(openbox, {u"--sm-disable"_s});
        QVERIFY(gestore->waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(gestorePronto(), 15000);
    } else {
        QVERIFY(!gestorePronto());
    }
    // Without a manager nothing tracks the active window: the stack and the focus tell instead.
    const auto davanti = [conGestore](xcb_window_t w) {
        return conGestore ? finestraAttiva() == w : inCima() == w && fuoco() == w;
    };
    qint64 primo = 0, secondo = 0;
    QString avvio, altro;
    const QString riga = lanciatore ? rigaLanciatore : rigaComando;
    const xcb_window_t a = avviaConFinestra(riga, primo, avvio);
    QVERIFY(a);
    const xcb_window_t b = avviaConFinestra(rigaComando, secondo, altro);
    QVERIFY(b);
    QTRY_VERIFY_WITH_TIMEOUT(conGestore ? finestraAttiva() == b : inCima() == b, 10000);

    QVERIFY(processi.attiva(primo, avvio, riga));
    QTRY_VERIFY_WITH_TIMEOUT(davanti(a), 10000);
    if (!conGestore)
        return;
    riduciAIcona(a);
    QTRY_VERIFY_WITH_TIMEOUT(!visibile(a), 10000);
    QVERIFY(processi.attiva(primo, avvio, riga));
    QTRY_VERIFY_WITH_TIMEOUT(visibile(a) && davanti(a), 10000);
}

void TestAttivazioneX11::withoutAWindowAProcessIsNotActivated()
{
    const qint64 pid = processi.avvia(rigaComando + u" --senza-finestra"_s);
    QVERIFY(pid > 0);
    QTRY_COMPARE_WITH_TIMEOUT(prova::pidAvviati(contatore), QList<qint64>{pid}, 10000);
    QVERIFY(prova::vivo(pid));
    QVERIFY(!processi.attiva(pid, app::avvioProcesso(pid), rigaComando));
}

QTEST_MAIN(TestAttivazioneX11)
#include "tst_attivazionex11.moc"
