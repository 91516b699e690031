#include "startup.h"

#include "app/archivio.h"
#include "app/dialoghi.h"
#include "app/inifile.h"
#include "app/misura.h"
#include "app/puntatore.h"
#include "app/tasti.h"
#include "app/casella.h"
#include "app/dimensione.h"
#include "form/dialoghiqt.h"
#include "form/mappacampi.h"
#include "form/testi.h"
#include "lookup/paginaricerca.h"
#include "lookup/sceltaregistri.h"
#include "suite/processi.h"
#include "suite/tastiglobali.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QTimer>
#include <QWindow>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int larghezzaTwip = 10680;
constexpr int altezzaTwip = 6720;

int daTwip(double twip, const QWidget* w) { return qRound(twip * w->logicalDpiX() / 1440.0); }

QString versione() { return u"%1.%2.%3"_s.arg(PEMTARX_VERSION_MAJOR).arg(PEMTARX_VERSION_MINOR).arg(PEMTARX_VERSION_PATCH); }

// The form's own size, the least the window is given whatever its pages measure.
QSize dimensioneBase(const QWidget* w) { return {daTwip(larghezzaTwip, w), daTwip(altezzaTwip, w)}; }

QFont fisso(double punti, bool grassetto = false)
{
    // The fixed-pitch fallback is matched once, at the code's own size so that its engine is used; every size
    // then asks the font system for that family only.
    static const QFont base = [] {
        QFont f(u"Courier New"_s);
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        f.setPointSizeF(11.25);
        f.setBold(true);
        f.setFamily(QFontInfo(f).family());
        return f;
    }();
    QFont f = base;
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

// A box as wide as `n` characters of its fixed-pitch font: one advance times n, with no text to shape.
int larghezzaCaratteri(const QWidget* w, int n)
{
    return qRound(n * QFontMetricsF(w->font()).horizontalAdvance(u'M')) + 8;
}

void sfondo(QWidget* w, const QColor& colore)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colore);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void sfondoTesto(QWidget* w, const QColor& colore)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colore);
    w->setPalette(p);
}

const QColor verdeChiaro(192, 255, 192);
const QColor verde(128, 255, 128);
const QColor gialloChiaro(255, 255, 192);

// A hidden widget keeps (or gives up) its room in the layout.
void tieniPosto(QWidget* w, bool tieni)
{
    QSizePolicy posto = w->sizePolicy();
    posto.setRetainSizeWhenHidden(tieni);
    w->setSizePolicy(posto);
}

// Tab enters a group of options on the one chosen; with none chosen (or a hidden one), on the first.
void tabSullaScelta(QButtonGroup* gruppo)
{
    QObject::connect(gruppo, &QButtonGroup::buttonToggled, gruppo, [gruppo](QAbstractButton*, bool) {
        const QAbstractButton* scelto = gruppo->checkedButton();
        const bool visibile = scelto && !scelto->isHidden();
        for (QAbstractButton* b : gruppo->buttons())
            b->setFocusPolicy(!visibile || b == scelto ? Qt::StrongFocus : Qt::ClickFocus);
    });
}

// The border around a set of options: a plain frame, whose drawing needs no image to be loaded.
QFrame* cornice(QWidget* genitore)
{
    auto* f = new QFrame(genitore);
    f->setFrameShape(QFrame::StyledPanel);
    return f;
}

QLabel* etichetta(const QString& testo, const QString& nome, QWidget* genitore)
{
    auto* l = new QLabel(testo, genitore);
    l->setObjectName(nome);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

} // namespace

Startup::Startup(app::Dialoghi& dialoghi, QWidget* genitore)
    : QWidget(genitore), dialoghi_(dialoghi), archivio_(u"pemtarx"_s)
{
    // The controls are built by Form_Load, which knows whether the window may be shown first.
    setObjectName(u"Startup"_s);
}

Startup::~Startup()
{
    qApp->removeEventFilter(this);
}

// ---- layout -------------------------------------------------------------------------

void Startup::costruisci()
{
    sfondo(this, verdeChiaro);
    auto* pila = new QGridLayout(this);
    pila->setContentsMargins(6, 6, 6, 6);
    Pict2 = new QWidget(this);
    Pict2->setObjectName(u"Pict(2)"_s);
    pila->addWidget(Pict2, 0, 0);

    auto* colonna = new QVBoxLayout(Pict2);
    colonna->setContentsMargins(0, 0, 0, 0);

    auto* riga1 = new QHBoxLayout;
    Label1 = new QLabel(testi::titoloDisegno, Pict2);
    Label1->setObjectName(u"Label1"_s);
    Label1->setAlignment(Qt::AlignCenter);
    QFont grassetto = Label1->font();
    grassetto.setBold(true);
    grassetto.setPointSizeF(12);
    Label1->setFont(grassetto);
    sfondo(Label1, verde);
    QPalette blu = Label1->palette();
    blu.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label1->setPalette(blu);
    Label1->setMinimumHeight(28);
    lbVer = new QLabel(testi::versioneDisegno, Pict2);
    lbVer->setObjectName(u"lbVer"_s);
    riga1->addWidget(Label1, 1);
    riga1->addWidget(lbVer);
    colonna->addLayout(riga1);

    auto* testa = new QGridLayout;
    DicKod = new Casella(Pict2);
    DicKod->setObjectName(u"DicKod"_s);
    DicKod->setMaxLength(10);
    DicKod->setFont(fisso(11.25, true));
    sfondoTesto(DicKod, gialloChiaro);
    // Disabled while a register is open, the code must still be read at a glance.
    QPalette leggibile = DicKod->palette();
    leggibile.setColor(QPalette::Disabled, QPalette::Text, QColor(64, 64, 64));
    DicKod->setPalette(leggibile);
    DicKod->setAccessibleName(u"Codice"_s);
    testa->addWidget(etichetta(u"Codice"_s, u"Label4(3)"_s, Pict2), 0, 0);
    testa->addWidget(DicKod, 0, 1);
    testa->addWidget(etichetta(u"Tipo Registro"_s, u"Label4(10)"_s, Pict2), 0, 2);
    auto* Frame2 = cornice(Pict2);
    Frame2->setObjectName(u"Frame2"_s);
    auto* opzioni = new QHBoxLayout(Frame2);
    opzioni->setContentsMargins(6, 2, 6, 2);
    auto* gruppoTipo = new QButtonGroup(this);
    const QString scritte[4] = {u"Scarico"_s, u"Carico"_s, u"Grp. Carico"_s, QString()};
    for (int i = 0; i < 4; ++i) {
        OptCS[i] = new QRadioButton(scritte[i], Frame2);
        OptCS[i]->setObjectName(u"OptCS(%1)"_s.arg(i));
        OptCS[i]->setAccessibleName(i < 3 ? scritte[i] : u"Nessun tipo"_s);
        gruppoTipo->addButton(OptCS[i], i);
        connect(OptCS[i], &QRadioButton::clicked, this, [this, i] { OptCS_Click(i); });
    }
    tabSullaScelta(gruppoTipo);
    for (int i : {1, 2, 0, 3})
        opzioni->addWidget(OptCS[i]);
    OptCS[3]->hide();
    testa->addWidget(Frame2, 0, 3);
    Txt[1] = new Casella(Pict2);
    testa->addWidget(etichetta(u"Descrizione"_s, u"Label4(2)"_s, Pict2), 1, 0);
    testa->addWidget(Txt[1], 1, 1, 1, 3, Qt::AlignLeft);
    testa->setColumnStretch(4, 1);
    colonna->addLayout(testa);

    // The type pages' area keeps its place while neither page is shown, so no row moves.
    auto* area = new QWidget(Pict2);
    area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* pagine = new QGridLayout(area);
    pagine->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 2; ++i) {
        Picture1[i] = new QWidget(area);
        Picture1[i]->setObjectName(u"Picture1(%1)"_s.arg(i));
        pagine->addWidget(Picture1[i], 0, 0);
        Picture1[i]->hide();
    }
    colonna->addWidget(area, 1);

    auto* comandi = new QHBoxLayout;
    const QString nomiComandi[4] = {u"&ELIMINA"_s, u"&CONFERMA"_s, u"&USCITA"_s, u"&ANNULLA"_s};
    for (int i = 0; i < 4; ++i) {
        cmdD[i] = new QPushButton(nomiComandi[i], Pict2);
        cmdD[i]->setObjectName(u"cmdD(%1)"_s.arg(i));
        cmdD[i]->setAutoDefault(false);
        // A hidden button keeps its slot: "&USCITA" stays where it is in every mode.
        tieniPosto(cmdD[i], true);
        connect(cmdD[i], &QPushButton::clicked, this, [this, i] { cmdD_Click(i); });
    }
    for (int i : {1, 3, 0, 2})
        comandi->addWidget(cmdD[i]);
    colonna->addLayout(comandi);

    impostaCampo(mappa::campo(1));
    DicKod->setFixedWidth(larghezzaCaratteri(DicKod, 11));
    connect(DicKod, &Casella::entrata, this, &Startup::DicKod_GotFocus);
    connect(DicKod, &Casella::uscita, this, &Startup::DicKod_LostFocus);
    connect(DicKod, &Casella::doppioClic, this, &Startup::DicKod_DblClick);
}

void Startup::costruisciPagine()
{
    if (Txt[2])
        return;
    costruisciScarico(Picture1[0]);
    costruisciCarico(Picture1[1]);
    for (const mappa::Campo& c : mappa::campi())
        if (c.indice > 1)
            impostaCampo(c);
    Txt[4]->setAlignment(Qt::AlignCenter);
    Combo1->installEventFilter(this);
    Combo1->addItems(testi::vociProtocollo);
    Combo1->setCurrentIndex(0);
    cmbRiqACT->addItems(testi::vociRiquadri);
    cmbRiqACT->setCurrentIndex(-1);

    // The order Tab follows; controls that cannot take the focus are passed over by Qt.
    QList<QWidget*> ordine{DicKod};
    for (int i = 1; i <= 9; ++i)
        ordine << Txt[i];
    ordine << cmbRiqACT << Txt[10] << Txt[11] << Txt[12];
    for (int i = 13; i <= 22; ++i)
        ordine << Txt[i];
    ordine << Option1[0] << Option1[1] << cmdD[1] << cmdD[3] << cmdD[0] << cmdD[2];
    ordine << OptCS[0] << OptCS[1] << OptCS[3] << OptCS[2];
    ordine << Combo1;  // the picker's list and ANNULLA go in before it when the picker is built
    for (int i = 1; i < ordine.size(); ++i)
        QWidget::setTabOrder(ordine[i - 1], ordine[i]);
}

// A text box from the field map: name, limit, font, background, accessible name.
void Startup::impostaCampo(const mappa::Campo& c)
{
    Casella* t = Txt[c.indice];
    t->setObjectName(u"Txt(%1)"_s.arg(c.indice));
    t->setMaxLength(c.lunghezza);
    t->setAccessibleName(QString(c.etichetta));
    const bool riga = c.indice >= mappa::primaRigaRegistro;
    t->setFont(fisso(riga ? 8.25 : 11.25));
    // A box as wide as its limit, but a register's heading line follows the page width.
    if (c.lunghezza <= 80)
        t->setMinimumWidth(larghezzaCaratteri(t, c.lunghezza + 1));
    if (!riga)
        t->setFixedWidth(t->minimumWidth());
    if (c.indice == 1 || riga)
        sfondoTesto(t, Qt::white);
    if (c.indice == 7 || c.indice == 8)
        sfondoTesto(t, gialloChiaro);
    if (c.filtro == mappa::Filtro::SoloCifre)
        t->setAlignment(Qt::AlignRight);
    connect(t, &Casella::entrata, this, [this, i = c.indice] { Txt_GotFocus(i); });
    connect(t, &Casella::uscita, this, [this, i = c.indice] { Txt_LostFocus(i); });
    connect(t, &Casella::doppioClic, this, [this, i = c.indice] { Txt_DblClick(i); });
}

PaginaRicerca* Startup::paginaRicerca()
{
    // Built when first opened: a clerk who types codes never pays for it at start-up.
    if (ricerca)
        return ricerca;
    ricerca = new PaginaRicerca(archivio_, stato, dialoghi_, this);
    Pict1 = ricerca;
    Pict1->hide();
    Pict1->setEnabled(false);
    static_cast<QGridLayout*>(layout())->addWidget(Pict1, 0, 0);
    connect(ricerca, &PaginaRicerca::chiusa, this, &Startup::chiudiRicerca);
    connect(ricerca, &PaginaRicerca::uscitaRichiesta, this, &QWidget::close);
    return ricerca;
}

SceltaRegistri* Startup::sceltaRegistri()
{
    // Built when first opened, like the search page.
    if (pctRice)
        return pctRice;
    pctRice = new SceltaRegistri(archivio_, stato, dialoghi_, Picture1[1]);
    connect(pctRice, &SceltaRegistri::scelto, this, [this](const QString& codice) {
        Txt[stato.campoCorrente > 0 ? stato.campoCorrente : 7]->setText(codice);
    });
    connect(pctRice, &SceltaRegistri::chiuso, this, [this] {
        if (stato.campoCorrente >= 1 && stato.campoCorrente <= mappa::ultimoTxt)
            Txt[stato.campoCorrente]->setFocus();
    });
    auto* List1 = pctRice->findChild<QWidget*>(u"List1"_s);
    auto* Command1 = pctRice->findChild<QWidget*>(u"Command1"_s);
    QWidget::setTabOrder(OptCS[2], List1);
    QWidget::setTabOrder(List1, Command1);
    QWidget::setTabOrder(Command1, Combo1);
    return pctRice;
}

bool Startup::ricercaAperta() const { return Pict1 && Pict1->isVisible(); }

void Startup::costruisciCarico(QWidget* pagina)
{
    auto* g = new QGridLayout(pagina);
    for (int i = 2; i <= 11; ++i)
        Txt[i] = new Casella(pagina);
    const QString scritte[6] = {u"Serie per EDI"_s,       u"Autorizzazione P.S.:   cod. meccanogafico"_s,
                                u"Serie/Num./Tipo"_s,     u"o Gruppo di Carico con numerazione unica"_s,
                                u"Registro di Scarico"_s, u"Magazzino per EUR1"_s};
    for (int i = 0; i < 6; ++i)
        LabeG[i] = etichetta(scritte[i], u"LabeG(%1)"_s.arg(i), pagina);
    Combo1 = new QComboBox(pagina);
    Combo1->setObjectName(u"Combo1"_s);
    Combo1->setAccessibleName(u"Numeraz. Preavviso"_s);
    cmbRiqACT = new QComboBox(pagina);
    cmbRiqACT->setObjectName(u"cmbRiqACT"_s);
    cmbRiqACT->setAccessibleName(u"Riquadri del timbro"_s);
    for (QComboBox* c : {Combo1, cmbRiqACT}) {
        c->setEditable(false);
        c->setFont(fisso(12, true));
        c->setMinimumContentsLength(14);
    }
    auto* meccanografico = new QHBoxLayout;
    meccanografico->addWidget(Txt[3]);
    meccanografico->addWidget(Txt[4]);
    meccanografico->addStretch();
    g->addWidget(LabeG[0], 0, 0);
    g->addWidget(Txt[2], 0, 1, Qt::AlignLeft);
    g->addWidget(LabeG[1], 1, 0);
    g->addLayout(meccanografico, 1, 1);
    g->addWidget(LabeG[2], 1, 2);
    g->addWidget(Txt[5], 1, 3, Qt::AlignLeft);
    g->addWidget(etichetta(u"Ultimo Carico"_s, u"Label4(0)"_s, pagina), 2, 0);
    g->addWidget(Txt[6], 2, 1, Qt::AlignLeft);
    g->addWidget(LabeG[3], 2, 2);
    g->addWidget(Txt[7], 2, 3, Qt::AlignLeft);
    g->addWidget(LabeG[4], 3, 0);
    g->addWidget(Txt[8], 3, 1, Qt::AlignLeft);
    g->addWidget(LabeG[5], 3, 2);
    g->addWidget(Txt[9], 3, 3, Qt::AlignLeft);
    g->addWidget(etichetta(u"Riquadri del timbro"_s, u"Label4(5)"_s, pagina), 4, 0);
    g->addWidget(cmbRiqACT, 4, 1, Qt::AlignLeft);
    g->addWidget(etichetta(u"Esposizione timbro"_s, u"Label4(1)"_s, pagina), 4, 2);
    g->addWidget(Txt[10], 4, 3, Qt::AlignLeft);
    g->addWidget(etichetta(u"Numeraz. Preavviso"_s, u"Label4(20)"_s, pagina), 5, 0);
    g->addWidget(Combo1, 5, 1, Qt::AlignLeft);
    g->addWidget(Txt[11], 0, 4);
    Txt[11]->hide();
    g->setRowStretch(6, 1);
    g->setColumnStretch(4, 1);
}

void Startup::costruisciScarico(QWidget* pagina)
{
    auto* g = new QGridLayout(pagina);
    g->setVerticalSpacing(2);
    for (int i = 12; i <= 22; ++i)
        Txt[i] = new Casella(pagina);
    auto* ultimo = new QHBoxLayout;
    ultimo->setSpacing(6);
    ultimo->addWidget(etichetta(u"Ultimo Scarico"_s, u"Label4(4)"_s, pagina));
    ultimo->addWidget(Txt[12]);
    ultimo->addWidget(etichetta(u"(riga del registro)"_s, u"Label4(6)"_s, pagina));
    ultimo->addStretch();
    // Placeholders of the heading lines' markers, kept out of sight.
    const std::pair<QString, QString> segnaposto[4] = {{u"@"_s, u"Label4(7)"_s},
                                                       {u"(       = posizione codice della serie di Carico)"_s, u"Label6"_s},
                                                       {u"#"_s, u"Label4(8)"_s},
                                                       {u"(       = posizione descrizione del bimestre)"_s, u"Label7"_s}};
    for (const auto& [testo, nome] : segnaposto)
        ultimo->addWidget(etichetta(testo, nome, pagina)), pagina->findChild<QLabel*>(nome)->hide();
    int r = 0;
    g->addLayout(ultimo, r++, 0);
    auto* intReg = new QLabel(u"Intestazione del Registro"_s, pagina);
    intReg->setObjectName(u"Label4(11)"_s);
    g->addWidget(intReg, r++, 0);
    for (int i = 13; i <= 17; ++i)
        g->addWidget(Txt[i], r++, 0);
    auto* intPre = new QLabel(u"Intestazione del Preavviso"_s, pagina);
    intPre->setObjectName(u"Label4(14)"_s);
    g->addWidget(intPre, r++, 0);
    for (int i = 18; i <= 22; ++i)
        g->addWidget(Txt[i], r++, 0, Qt::AlignLeft);
    auto* stampa = new QHBoxLayout;
    stampa->setSpacing(6);
    stampa->addWidget(etichetta(u"Stampa orditata per"_s, u"Label4(9)"_s, pagina));
    auto* Frame1 = cornice(pagina);
    Frame1->setObjectName(u"Frame1"_s);
    auto* f1 = new QHBoxLayout(Frame1);
    f1->setContentsMargins(6, 2, 6, 2);
    auto* gruppo = new QButtonGroup(this);
    const QString scritte[2] = {u"Serie"_s, u"Numero"_s};
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(scritte[i], Frame1);
        Option1[i]->setObjectName(u"Option1(%1)"_s.arg(i));
        Option1[i]->setAccessibleName(u"Stampa orditata per "_s + scritte[i]);
        gruppo->addButton(Option1[i], i);
        f1->addWidget(Option1[i]);
    }
    tabSullaScelta(gruppo);
    stampa->addWidget(Frame1);
    stampa->addStretch();
    g->addLayout(stampa, r++, 0);
    g->setRowStretch(r, 1);
}

QSize Startup::misura()
{
    // One size for every page, the largest, so the window never grows or shrinks while in use.
    QSize dimensione = dimensioneBase(this);
    ensurePolished();  // measured with the style's fonts and margins, as shown
    // Both type pages keep their room while hidden for one measurement: the larger sets each side.
    for (QWidget* pagina : Picture1)
        tieniPosto(pagina, true);
    // Hints a window already shown cached while its controls were being built are stale: all are asked afresh.
    for (QWidget* controllo : findChildren<QWidget*>())
        controllo->updateGeometry();
    dimensione = dimensione.expandedTo(minimumSizeHint());
    for (QWidget* pagina : Picture1)
        tieniPosto(pagina, false);
    return dimensione;
}

void Startup::posiziona(QSize dimensione)
{
    const QScreen* schermo = screen() ? screen() : QGuiApplication::primaryScreen();
    if (schermo) {
        // Room for the window manager's title bar and borders, not yet known before the first show.
        const QRect area = schermo->availableGeometry().adjusted(0, 0, -8, -32);
        dimensione = dimensione.boundedTo(area.size());
        // The width formula drives the left edge and the height formula the top edge, inside the screen.
        int x = area.x() + (area.width() - dimensione.width()) / 3 + daTwip(350, this);
        int y = area.y() + (area.height() - dimensione.height()) / 2 + daTwip(80, this);
        x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - dimensione.width()));
        y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - dimensione.height()));
        move(x, y);
    }
    setFixedSize(dimensione);
}

QString Startup::impronta() const
{
    // What the measured size depends on besides the program: a change of any of them measures again first.
    return u"%1 %2 %3 %4 %5x%6"_s.arg(versione(), QString::fromLatin1(qVersion()), style()->name(),
                                        QApplication::font().toString())
        .arg(logicalDpiX()).arg(logicalDpiY());
}

// ---- start-up and shutdown ------------------------------------------------------------

bool Startup::Form_Load(const QString& cartellaProgramma, const QDate& oggi, bool mostra)
{
    stato.saltaControllo = false;
    qApp->installEventFilter(this);
    // With the size of an earlier start the window goes to the window manager as soon as the company is open:
    // its frame is built while the window is being mapped, and the type pages, hidden until a register is
    // open, right after the first paint.
    improntaMisura_ = mostra ? impronta() : QString();
    dimensioneRicordata_ = mostra ? app::dimensioneRicordata(improntaMisura_, dimensioneBase(this)) : QSize();
    const bool rinvia = dimensioneRicordata_.isValid();
    if (!rinvia) {
        costruisci();
        costruisciPagine();
    }
    const QSize misurata = rinvia ? dimensioneRicordata_ : misura();
    posiziona(misurata);
    stato.listaAttiva = false;
    stato.campoCorrente = 1;
    nomiAmbigui.clear();
    fileIni = app::fileImpostazioni(cartellaProgramma, &nomiAmbigui);
    setWindowTitle(testi::titoloFinestra + QString(40, u' ') + u'(' + oggi.toString(u"dd/MM/yyyy"_s) + u')');
    codiceSocieta = app::leggiIni(fileIni, u"BASE"_s, u"DITTA"_s);
    cartellaDati = app::cartellaDati(fileIni);
    if (!QFileInfo(cartellaDati).isDir())
        QDir().mkdir(cartellaDati);
    percorsoDatabase = app::posizioneArchivio(fileIni, cartellaDati, codiceSocieta, &nomiAmbigui);
    archivio_.inAttesa = app::attesaArchivio;
    apertura_ = apriSocieta();
    if (apertura_ == Apertura::Rinuncia)
        return false;
    if (mostra)
        show();
    if (rinvia)
        costruisci();
    else if (mostra)
        app::ricordaDimensione(improntaMisura_, misurata);
    Pict2->show();  // built in a window already shown, it is not shown with it
    if (apertura_ == Apertura::SenzaTabelle)
        return true;
    stato.paginaAttiva = 2;
    Pict2->setEnabled(true);
    lbVer->setText(u"Versione "_s + versione());
    if (!rinvia)
        pulisciCampi();
    return true;
}

void Startup::completa()
{
    if (Txt[2] || !Pict2)
        return;
    costruisciPagine();
    // Measured as the first start measures: a size kept under other fonts is put right at once, and kept.
    const QSize misurata = misura();
    if (misurata != dimensioneRicordata_) {
        posiziona(misurata);
        app::ricordaDimensione(improntaMisura_, misurata);
    }
    if (apertura_ == Apertura::Aperta)
        pulisciCampi();
}

void Startup::paintEvent(QPaintEvent* evento)
{
    QWidget::paintEvent(evento);
    // The type pages follow the first paint, once it is on the screen.
    if (!Txt[2])
        QTimer::singleShot(0, this, &Startup::completa);
}

Startup::Apertura Startup::apriSocieta()
{
    // A company this user cannot write is said before any typing, never shown read-only.
    for (;;) {
        if (!apriDatabase())
            return Apertura::Rinuncia;
        if (!apriTabella(true) || !apriTabella(false))
            return Apertura::SenzaTabelle;
        const store::Esito e = archivio_.verificaScrittura();
        if (e.ok())
            return Apertura::Aperta;
        if (dialoghi_.chiedi(testi::archivioNonScrivibile + u'\n' + e.descrizione, testi::titoloErrore,
                             app::Pulsanti::RiprovaAnnulla, app::Icona::Critica) != app::Riprova)
            return Apertura::Rinuncia;
    }
}

bool Startup::apriDatabase()
{
    while (!archivio_.apriDatabase(percorsoDatabase).ok()) {
        QGuiApplication::restoreOverrideCursor();
        if (dialoghi_.chiedi(regole::testoSocietaInesistente(nomiAmbigui), testi::titoloErrore,
                             app::Pulsanti::RiprovaAnnulla, app::Icona::Critica) != app::Riprova)
            return false;
    }
    return true;
}

bool Startup::apriTabella(bool registri)
{
    for (;;) {
        const store::Esito e = registri ? archivio_.apriRegistri() : archivio_.apriTestata();
        if (e.ok())
            return true;
        const QString& titolo = registri ? testi::titoloAperturaRegistri : testi::titoloAperturaTestata;
        if (dialoghi_.chiedi(regole::testoApertura(registri, e), titolo, app::Pulsanti::RiprovaAnnulla,
                             app::Icona::Esclamazione) != app::Riprova)
            return false;
    }
}

void Startup::Form_Unload()
{
    archivio_.chiudi();
}

void Startup::changeEvent(QEvent* evento)
{
    if (evento->type() == QEvent::ActivationChange && isActiveWindow())
        stato.formAttivata = true;  // Form_Activate
    QWidget::changeEvent(evento);
}

void Startup::closeEvent(QCloseEvent* evento)
{
    Form_Unload();
    QWidget::closeEvent(evento);
    qApp->quit();
}

namespace {

// The window as the hot keys see it.
class FinestraTasti final : public suite::FinestraSuite {
public:
    explicit FinestraTasti(Startup& finestra) : finestra_(finestra) {}
    void premiUscitaVisibile() override
    {
        // After the key being handled, as a keystroke typed next would be.
        QTimer::singleShot(0, finestra_.uscitaVisibile(), &QAbstractButton::click);
    }
    void terminaSubito() override { std::_Exit(0); }

private:
    Startup& finestra_;
};

} // namespace

int Startup::esegui()
{
    DialoghiQt dialoghi;
    Startup finestra(dialoghi);
    dialoghi.impostaGenitore(&finestra);
    FinestraTasti perTasti(finestra);
    suite::ProcessiSistema processi;
    suite::TastiGlobali tasti(perTasti, dialoghi, processi);
    finestra.tastiGlobali = [&tasti](int codice, int maschera) { tasti.tastiGlobali(codice, maschera); };
    app::misuraPrimoDisegno(&finestra);
    if (!finestra.Form_Load(QCoreApplication::applicationDirPath(), QDate::currentDate(), true))
        return 0;
    tasti.fileIni = finestra.fileIni;
    tasti.codiceSocieta = finestra.codiceSocieta;
    finestra.activateWindow();
    finestra.DicKod->setFocus(Qt::OtherFocusReason);
    return QApplication::exec();
}

QPushButton* Startup::uscitaVisibile() const
{
    return ricercaAperta() ? ricerca->uscita() : cmdD[2];
}

// ---- field map <-> widgets --------------------------------------------------------------

regole::Maschera Startup::leggiWidget() const
{
    regole::Maschera m;
    m.DicKod = DicKod->text();
    for (int i = 1; i <= mappa::ultimoTxt; ++i)
        m.Txt[i] = Txt[i]->text();
    m.tipo = 3;
    for (int i = 0; i < 3; ++i)
        if (OptCS[i]->isChecked())
            m.tipo = i;
    m.serie = Option1[0]->isChecked();
    m.protocollo = Combo1->currentIndex();
    m.riquadri = cmbRiqACT->currentIndex();
    return m;
}

void Startup::scriviWidget(const regole::Maschera& m)
{
    DicKod->setText(m.DicKod);
    for (int i = 1; i <= mappa::ultimoTxt; ++i)
        Txt[i]->setText(m.Txt[i]);
    Option1[m.serie ? 0 : 1]->setChecked(true);
    Combo1->setCurrentIndex(m.protocollo);
    cmbRiqACT->setCurrentIndex(m.riquadri);
}

// ---- modes and code entry ---------------------------------------------------------------

void Startup::pulisciCampi()
{
    regole::Maschera m = leggiWidget();
    regole::pulisciCampi(registroCorrente, m);
    scriviWidget(m);
    if (pctRice && pctRice->isVisible()) {
        pctRice->hide();
        stato.paginaAttiva = 2;  // the keys belong to the edit page again at once
    }
    OptCS[3]->setChecked(true);
    OptCS_Click(3);
}

void Startup::azzeraRegistro() { registroCorrente.azzera(); }

void Startup::tornaInAttesa()
{
    registroCorrente.SspCodice = u" "_s;
    pulisciCampi();
    azzeraRegistro();
    applicaModo(regole::Attesa);
    DicKod->setFocus(Qt::OtherFocusReason);
}

void Startup::applicaModo(regole::Modo modo)
{
    const regole::StatoModo& s = regole::statoModo(modo);
    cmdD[0]->setVisible(s.elimina);
    cmdD[1]->setVisible(s.conferma);
    cmdD[3]->setVisible(s.annulla);
    DicKod->setEnabled(s.codiceAbilitato);
    Label1->setText(s.titolo);
}

void Startup::controllaCodice()
{
    completa();
    regole::Maschera m = leggiWidget();
    const auto modo = regole::controllaCodice(archivio_, dialoghi_, registroCorrente, mostrate_, m);
    modoRegistro = modo.value_or(regole::Attesa);
    if (!modo) {
        applicaModo(modoRegistro);
        return;
    }
    scriviWidget(m);
    Txt_LostFocus(7);
    applicaModo(modoRegistro);
    if (modoRegistro == regole::Inserimento)
        stato.campoCorrente = 1;
    mostraTipo(registroCorrente.SspCarScar);
}

void Startup::mostraTipo(const QString& carScar)
{
    const int opzione = regole::opzioneTipo(carScar);
    if (opzione == 2)
        campiCarico(false);  // a loading group shows only its last number, the stamp and the notice numbering
    if (opzione >= 0) {
        OptCS[opzione]->setChecked(true);
        OptCS_Click(opzione);
    }
}

void Startup::campiCarico(bool visibili)
{
    for (QLabel* l : LabeG)
        l->setVisible(visibili);
    for (const mappa::Campo& c : mappa::campi())
        if (c.nascostoPerGruppo)
            Txt[c.indice]->setVisible(visibili);
}

void Startup::OptCS_Click(int i)
{
    Picture1[0]->hide();
    Picture1[1]->hide();
    if (i == 1)
        campiCarico(true);  // a loading register always shows all its fields, whatever was shown before
    if (i == 0)
        Picture1[0]->show();
    else if (i == 1 || i == 2)
        Picture1[1]->show();
}

void Startup::DicKod_GotFocus()
{
    stato.campoCorrente = 0;
    selezionaTesto(DicKod);
    applicaModo(regole::Attesa);
}

void Startup::DicKod_LostFocus()
{
    // A typed code is taken without the blanks around it: "AB", "AB " and " AB" are one register.
    registroCorrente.SspCodice = DicKod->text().trimmed();
    if (stato.saltaControllo)
        return;
    controllaCodice();
    if (modoRegistro == regole::Attesa)
        tornaInAttesa();
}

void Startup::DicKod_DblClick()
{
    stato.saltaControllo = true;
    apriRicerca();
}

void Startup::apriRicerca()
{
    const int campo = stato.campoCorrente;
    if (campo != 0 && campo != 7 && campo != 8)
        return;
    stato.paginaAttiva = 1;
    if (campo == 0) {
        azzeraRegistro();
        if (QWidget* f = focusWidget())
            f->clearFocus();
        paginaRicerca();
        Pict1->show();
        Pict1->setEnabled(true);
        Pict2->hide();
        Pict2->setEnabled(false);
        ricerca->apri(DicKod->text());
        return;
    }
    sceltaRegistri()->caricaElencoRegistri(campo == 7 ? u"G"_s : u"S"_s, Txt[campo]);
}

void Startup::chiudiRicerca(const QString& codice)
{
    if (QWidget* f = focusWidget())
        f->clearFocus();
    Pict1->hide();
    Pict1->setEnabled(false);
    Pict2->show();
    Pict2->setEnabled(true);
    registroCorrente.SspCodice = codice;
    DicKod->setText(codice);
    controllaCodice();
    // The hidden list held the keyboard: hand it on as Enter in the code field would.
    if (modoRegistro == regole::Attesa) {
        DicKod->setFocus(Qt::OtherFocusReason);
    } else {
        stato.campoCorrente = 0;
        if (campoSuccessivo())
            Txt[stato.campoCorrente]->setFocus(Qt::OtherFocusReason);
    }
}

void Startup::cmdD_MouseDown(int i)
{
    if (i == 2) {
        stato.saltaControllo = true;
        uscitaPremuta_ = true;
    }
}

void Startup::cmdD_Click(int i)
{
    switch (i) {
    case 0: eliminaRegistro(); break;
    case 1: scriviRegistro(); break;
    case 2:
        stato.saltaControllo = true;
        close();
        break;
    case 3: tornaInAttesa(); break;
    default: break;
    }
}

void Startup::eliminaRegistro()
{
    switch (regole::elimina(archivio_, dialoghi_, registroCorrente.SspCodice, mostrate_)) {
    case regole::Cancellazione::Rinunciata:
        // The code stays and the mode's buttons with it: the clerk may take the same code again at once.
        pulisciCampi();
        azzeraRegistro();
        DicKod->setEnabled(true);
        DicKod->setFocus(Qt::OtherFocusReason);
        break;
    case regole::Cancellazione::Tenuta: break;  // the clerk looks at the other's work first
    case regole::Cancellazione::Conclusa: tornaInAttesa(); break;
    }
}

void Startup::scriviRegistro()
{
    if (regole::salva(archivio_, dialoghi_, registroCorrente, mostrate_, leggiWidget()))
        tornaInAttesa();
}

// ---- text boxes and keys ----------------------------------------------------------------

void Startup::selezionaTesto(Casella* casella) { casella->setSelection(0, 50); }

void Startup::Txt_GotFocus(int i)
{
    stato.comboAttivo = false;
    stato.campoCorrente = i;
    selezionaTesto(Txt[i]);
}

void Startup::Txt_LostFocus(int i)
{
    if (i == 7)
        Txt[6]->setEnabled(Txt[7]->text().trimmed().isEmpty());
}

void Startup::Txt_DblClick(int) { apriRicerca(); }

bool Startup::disponibile(int i) const { return Txt[i]->isVisible() && Txt[i]->isEnabled(); }

bool Startup::campoPrecedente()
{
    for (int passi = 0; passi < mappa::ultimoTxt; ++passi) {
        stato.campoCorrente = stato.campoCorrente >= 2 ? stato.campoCorrente - 1 : mappa::ultimoTxt;
        if (disponibile(stato.campoCorrente))
            return true;
    }
    return false;
}

bool Startup::campoSuccessivo()
{
    for (int passi = 0; passi < mappa::ultimoTxt; ++passi) {
        stato.campoCorrente = stato.campoCorrente != mappa::ultimoTxt ? stato.campoCorrente + 1 : 1;
        if (disponibile(stato.campoCorrente))
            return true;
    }
    return false;
}

void Startup::tabSuInvio()
{
    // Queued, as a key the clerk pressed next would be.
    if (QWidget* f = focusWidget())
        QCoreApplication::postEvent(f, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
}

bool Startup::Form_KeyDown(QWidget* destinatario, int& codice, int maschera)
{
    if (tastiGlobali)
        tastiGlobali(codice, maschera);
    if (codice == app::tasti::Invio && stato.listaAttiva && ricerca) {
        ricerca->scegli();
        return true;
    }
    if (stato.paginaAttiva == 1) {
        if (codice == app::tasti::Invio) {
            if (!pctRice || !pctRice->invio(destinatario))
                tabSuInvio();
            return true;
        }
        return false;
    }
    if (codice == app::tasti::F4) {
        if (stato.campoCorrente == 0)
            stato.saltaControllo = true;
        apriRicerca();
        return true;
    }
    if (codice == app::tasti::Invio) {
        if (stato.campoCorrente == 0 || stato.campoCorrente == mappa::ultimoTxt) {
            // Tabbing into the print order would land on its first option, not on the one chosen.
            QRadioButton* scelta = Option1[0]->isChecked() ? Option1[0] : Option1[1];
            if (stato.campoCorrente == mappa::ultimoTxt && scelta->isChecked() && scelta->isVisible() &&
                scelta->isEnabled())
                scelta->setFocus(Qt::TabFocusReason);
            else
                tabSuInvio();
            return true;
        }
        codice = app::tasti::Giu;
        if (stato.comboAttivo) {
            // The list gets the Enter as a Down.
            inoltro_ = true;
            QKeyEvent giu(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QCoreApplication::sendEvent(destinatario, &giu);
            inoltro_ = false;
            return true;
        }
    }
    if (stato.comboAttivo)
        return false;
    if (codice == app::tasti::Su || codice == app::tasti::Giu) {
        if (codice == app::tasti::Su ? campoPrecedente() : campoSuccessivo())
            Txt[stato.campoCorrente]->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

namespace {

int soloCifre(int c)
{
    if (c == 3 || c == 8 || c == 18 || c == 22)
        return c;
    return c < '0' || c > '9' ? 0 : c;
}

int maiuscolo(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

} // namespace

bool Startup::Form_KeyPress(QWidget* destinatario, QKeyEvent* evento)
{
    const QString testo = evento->text();
    // Only keys that type a character reach the filters; Tab, Delete and the like move or edit.
    if (testo.size() != 1 || evento->key() == Qt::Key_Tab || evento->key() == Qt::Key_Backtab ||
        evento->key() == Qt::Key_Delete || testo.at(0).unicode() == 127)
        return false;
    // A key that goes to a button or a list is its own, whatever text box was visited last.
    if (stato.comboAttivo || !qobject_cast<QLineEdit*>(destinatario))
        return false;
    int c = testo.at(0).unicode();
    if (c == 13)
        return true;
    // Typed into the group or unloading-register field itself, not a Ctrl chord such as copy or paste:
    // the character first replaces the selection, then the picker opens.
    const bool scelta = !ricercaAperta() && (stato.campoCorrente == 7 || stato.campoCorrente == 8) &&
                        destinatario == Txt[stato.campoCorrente] &&
                        !(evento->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (ricercaAperta()) {
        c = maiuscolo(c);
    } else {
        const mappa::Campo& campo = mappa::campo(stato.campoCorrente);
        c = campo.filtro == mappa::Filtro::SoloCifre ? soloCifre(c) : maiuscolo(c);
    }
    if (c == 0)
        return true;
    const bool uguale = c == testo.at(0).unicode();
    if (uguale && !scelta)
        return false;
    inoltro_ = true;
    QKeyEvent nuovo(QEvent::KeyPress, uguale ? evento->key() : Qt::Key_A + (c - 'A'), evento->modifiers(),
                    QString(QChar(c)));
    QCoreApplication::sendEvent(destinatario, &nuovo);
    inoltro_ = false;
    if (scelta)
        apriRicerca();
    return true;
}

bool Startup::eventFilter(QObject* oggetto, QEvent* evento)
{
    // A clerk quicker than the first paint finds the type pages built all the same.
    switch (evento->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        completa();
        break;
    default:
        break;
    }
    if (oggetto == Combo1 && (evento->type() == QEvent::FocusIn || evento->type() == QEvent::FocusOut)) {
        const auto* f = static_cast<QFocusEvent*>(evento);
        if (!Presenza::cambioFinestra(f->reason()))
            stato.comboAttivo = evento->type() == QEvent::FocusIn;  // Combo1_GotFocus / LostFocus
        return false;
    }
    if (evento->type() == QEvent::MouseButtonPress && oggetto == windowHandle()) {
        // The press reaches its control before the focus moves away from the field being left.
        const auto* m = static_cast<QMouseEvent*>(evento);
        if (QWidget* sotto = childAt(mapFromGlobal(m->globalPosition().toPoint()))) {
            for (QWidget* w = sotto; w && w != this; w = w->parentWidget())
                if (w == cmdD[2])
                    cmdD_MouseDown(2);
            if (ricerca)
                ricerca->premuto(sotto);
        }
        return false;
    }
    if (evento->type() == QEvent::MouseButtonRelease && oggetto == windowHandle() && uscitaPremuta_) {
        // A press on USCITA that ends without a click must not leave the code field without its look-up.
        uscitaPremuta_ = false;
        stato.saltaControllo = false;
        return false;
    }
    if (oggetto == pctRice && (evento->type() == QEvent::Show || evento->type() == QEvent::Hide)) {
        // Alt+A belongs to the picker's own ANNULLA while it is open.
        const bool aperta = evento->type() == QEvent::Show;
        cmdD[3]->setShortcut(aperta ? QKeySequence() : QKeySequence::mnemonic(cmdD[3]->text()));
        return false;
    }
    if (evento->type() != QEvent::KeyPress || inoltro_)
        return false;
    auto* destinatario = qobject_cast<QWidget*>(oggetto);
    // A key the focused control leaves unused travels on to its parents: handle it once only. The window's own
    // focus, as Qt delivers by it: right after a message box the window takes keys before it is active again.
    if (!destinatario || destinatario->window() != this || !isEnabled() ||
        destinatario != (focusWidget() ? focusWidget() : this))
        return false;
    auto* tasto = static_cast<QKeyEvent*>(evento);
    // After a message box no control has the focus for a while, and the same key would reach the window again.
    if (destinatario == this && tasto == ultimoTasto_ && tasto->timestamp() != 0 &&
        tasto->timestamp() == istanteUltimo_)
        return false;
    ultimoTasto_ = tasto;
    istanteUltimo_ = tasto->timestamp();
    int codice = app::tasti::codice(tasto->key());
    if (Form_KeyDown(destinatario, codice, app::tasti::maschera(tasto->modifiers())))
        return true;
    // A chord with Alt or Ctrl is never a typed character: a visible button's access key took it already, or nothing.
    if ((tasto->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) && !tasto->text().isEmpty() &&
        tasto->text().at(0).isPrint())
        return true;
    return Form_KeyPress(destinatario, tasto);
}
