#include "paginaricerca.h"

#include "app/dialoghi.h"
#include "app/statofinestra.h"
#include "app/casella.h"
#include "lookup/elenco.h"
#include "lookup/modelloricerca.h"
#include "app/presenza.h"
#include "lookup/righe.h"
#include "lookup/testi.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <utility>

using namespace Qt::StringLiterals;
using store::TipoRicerca;

// Counts the handlers one action of the clerk runs, so a failing search is reported once for it.
struct PaginaRicerca::Azione {
    PaginaRicerca& p;
    explicit Azione(PaginaRicerca& pagina) : p(pagina)
    {
        if (p.annidamento_++ == 0 && !std::exchange(p.fuocoAtteso_, false))
            p.avvisato_ = false;
    }
    ~Azione() { --p.annidamento_; }
    Q_DISABLE_COPY_MOVE(Azione)
};

PaginaRicerca::PaginaRicerca(store::ArchivioRegistri& archivio, StatoFinestra& stato, app::Dialoghi& dialoghi,
                             QWidget* genitore)
    : QWidget(genitore), archivio_(archivio), stato_(stato), dialoghi_(dialoghi)
{
    setObjectName(u"Pict(1)"_s);
    auto* griglia = new QGridLayout(this);
    IETab = new QLabel(testiRicerca::titoloPagina, this);
    IETab->setObjectName(u"IETab"_s);
    QFont titolo = IETab->font();
    titolo.setBold(true);
    titolo.setPointSizeF(12);
    IETab->setFont(titolo);
    for (int i = 0; i < 2; ++i) {
        cmd_r[i] = new QPushButton(i == 0 ? testiRicerca::conferma : testiRicerca::uscita, this);
        cmd_r[i]->setObjectName(u"cmd_r(%1)"_s.arg(i));
        cmd_r[i]->installEventFilter(this);
    }
    QFont fisso(u"Courier New"_s);
    fisso.setStyleHint(QFont::TypeWriter);
    fisso.setPointSizeF(9.75);
    // A caption and its search box, the box as wide as its longest key.
    const auto ricerca = [this, &fisso](QLabel*& etichetta, Casella*& casella, const QString& testo, int lunghezza) {
        etichetta = new QLabel(testo, this);
        casella = new Casella(this);
        casella->setMaxLength(lunghezza);
        casella->setAccessibleName(testo);
        casella->setFont(fisso);
        casella->setFixedWidth(casella->fontMetrics().horizontalAdvance(QString(lunghezza + 2, u'M')));
    };
    ricerca(Lcod, CodTab, testiRicerca::codice, 10);
    ricerca(Ldesc, DescTab, testiRicerca::descrizione, 30);
    Lcod->setObjectName(u"Lcod"_s);
    CodTab->setObjectName(u"CodTab"_s);
    Ldesc->setObjectName(u"Ldesc"_s);
    DescTab->setObjectName(u"DescTab"_s);
    Label3 = new QLabel(testiRicerca::intestazione1, this);
    Label3->setObjectName(u"Label3"_s);
    Label2 = new QLabel(testiRicerca::intestazione2, this);
    Label2->setObjectName(u"Label2"_s);
    Lista = new Elenco(this);
    Lista->setObjectName(u"Lista"_s);
    Lista->setAccessibleName(testiRicerca::registriTrovati);
    Lista->setFont(fisso);
    // The headings stand over the columns from the authorisation code (column 43) onwards: their
    // words are spaced at about three fifths of the list's pitch, so a condensed fixed font lines up.
    QFont condensato = fisso;
    condensato.setStretch(60);
    const int margine = Lista->frameWidth() + style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
    const QString primaRiga = testiRicerca::intestazione1;
    for (QLabel* l : {Label3, Label2}) {
        l->setFont(condensato);
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // the page's width is the window's
    }
    Label3->setIndent(margine + 42 * QFontMetrics(fisso).horizontalAdvance(u'M'));
    // The second line starts under the third word of the first: the two are read together.
    Label2->setIndent(Label3->indent() +
                      QFontMetrics(condensato).horizontalAdvance(primaRiga.left(primaRiga.indexOf(u"ULTIMO"_s))));
    modello_ = new ModelloRicerca(archivio_, stato_.testoSql, this);
    Lista->setModel(modello_);
    // The buttons, then the list, then the search boxes, as Enter turned into Tab walks them.
    QWidget::setTabOrder(cmd_r[1], Lista);

    griglia->addWidget(IETab, 0, 0, 1, 3);
    griglia->addWidget(cmd_r[0], 0, 3);
    griglia->addWidget(cmd_r[1], 0, 4);
    griglia->addWidget(Lcod, 1, 0);
    griglia->addWidget(CodTab, 1, 1);
    griglia->addWidget(Ldesc, 1, 0);
    griglia->addWidget(DescTab, 1, 1);
    griglia->addWidget(Label3, 2, 0, 1, 5);
    griglia->addWidget(Label2, 3, 0, 1, 5);
    griglia->addWidget(Lista, 4, 0, 1, 5);
    griglia->setColumnStretch(2, 1);
    Ldesc->hide();
    DescTab->hide();

    const auto azione = [this](auto gestore) {
        return [this, gestore] {
            Azione a(*this);
            gestore();
        };
    };
    for (TipoRicerca t : {TipoRicerca::Codice, TipoRicerca::Descrizione}) {
        Casella* c = campo(t);
        connect(c, &Casella::entrata, this, azione([this, t] { campo_GotFocus(t); }));
        connect(c, &QLineEdit::textChanged, this, azione([this, t] { campo_Change(t); }));
        connect(c, &Casella::uscita, this, azione([this, t] { campo_LostFocus(t); }));
    }
    connect(Lista, &Elenco::entrata, this, azione([this] { Lista_GotFocus(); }));
    connect(Lista, &Elenco::uscita, this, azione([this] { Lista_LostFocus(); }));
    connect(Lista, &Elenco::doppioClic, this, azione([this] { Lista_DblClick(); }));
    for (int i = 0; i < 2; ++i)
        connect(cmd_r[i], &QPushButton::clicked, this, azione([this, i] { cmd_r_Click(i); }));
    // Queued: a page that fails is met while the list scrolls, and the list is emptied after that.
    connect(modello_, &ModelloRicerca::letturaFallita, this, &PaginaRicerca::letturaFallita, Qt::QueuedConnection);
}

PaginaRicerca::~PaginaRicerca() = default;

Casella* PaginaRicerca::campo(TipoRicerca tipo) const { return tipo == TipoRicerca::Codice ? CodTab : DescTab; }

void PaginaRicerca::apri(const QString& codice)
{
    Azione a(*this);
    Lcod->show();
    CodTab->show();
    Ldesc->hide();
    DescTab->hide();
    cmd_r[0]->hide();
    DescTab->setText(u""_s);
    CodTab->setText(codice.trimmed());
    fuocoRicerca();
}

void PaginaRicerca::scegli()
{
    Azione a(*this);
    Lista_DblClick();
}

void PaginaRicerca::fuocoRicerca()
{
    Casella* c = !CodTab->isHidden() ? CodTab : !DescTab->isHidden() ? DescTab : nullptr;
    if (!c)
        return;
    c->setFocus();
    // After a message box the window comes back a little later, and with it the box's entry.
    fuocoAtteso_ = !c->hasFocus();
}

void PaginaRicerca::premuto(QWidget* w)
{
    if (!w || !isVisible())
        return;
    for (int i = 0; i < 2; ++i)
        if (w == cmd_r[i])
            cmd_r_MouseDown(i);
    // The rows, not the scroll bar: a press there leaves the focus in the search box.
    if (w == Lista || w == Lista->viewport())
        Lista_MouseDown();
}

bool PaginaRicerca::eventFilter(QObject* oggetto, QEvent* evento)
{
    if (evento->type() == QEvent::FocusIn &&
        !Presenza::cambioFinestra(static_cast<QFocusEvent*>(evento)->reason())) {
        for (int i = 0; i < 2; ++i)
            if (oggetto == cmd_r[i])
                cmd_r_GotFocus(i);
    }
    return QWidget::eventFilter(oggetto, evento);
}

// ---- the two search boxes: one handler each, the roles given by the kind -------------------

void PaginaRicerca::campo_GotFocus(TipoRicerca tipo)
{
    stato_.listaAttiva = false;
    stato_.saltaControllo = false;
    campo(tipo)->setSelection(0, 50);  // selezionaTesto
    tipoRicerca = tipo;
    cercaRegistri(campo(tipo)->text());
}

void PaginaRicerca::campo_Change(TipoRicerca tipo)
{
    tipoRicerca = tipo;
    cercaRegistri(campo(tipo)->text());
}

void PaginaRicerca::campo_LostFocus(TipoRicerca tipo)
{
    if (chiusura_ || !isVisible())
        return;
    Casella* questo = campo(tipo);
    if (stato_.saltaControllo || stato_.listaAttiva || !questo->text().trimmed().isEmpty())
        return;
    const bool codice = tipo == TipoRicerca::Codice;
    Casella* altro = campo(codice ? TipoRicerca::Descrizione : TipoRicerca::Codice);
    questo->setText(u" "_s);
    Ldesc->setVisible(codice);
    DescTab->setVisible(codice);
    Lcod->setVisible(!codice);
    CodTab->setVisible(!codice);
    altro->setFocus();
    altro->setText(u""_s);
}

// ---- the list --------------------------------------------------------------------------------

void PaginaRicerca::Lista_MouseDown() { stato_.listaAttiva = true; }

void PaginaRicerca::Lista_GotFocus()
{
    if (modello_->rowCount() == 0) {
        fuocoRicerca();
        return;
    }
    stato_.listaAttiva = true;
    cmd_r[0]->setText(testiRicerca::ricerca);
    if (!Lista->selectionModel()->hasSelection())
        Lista->selectionModel()->setCurrentIndex(modello_->index(0), QItemSelectionModel::ClearAndSelect);
}

void PaginaRicerca::Lista_LostFocus() { stato_.listaAttiva = false; }

void PaginaRicerca::Lista_DblClick()
{
    const QModelIndexList scelte = Lista->selectionModel()->selectedIndexes();
    rigaScelta = scelte.isEmpty() ? QString() : scelte.first().data().toString();
    if (rigaScelta.trimmed().isEmpty())
        return;
    // The stored code, blanks and all: the row's trimmed text could name another register.
    rigaScelta = scelte.first().data(ModelloRicerca::ruoloCodice).toString();
    if (rigaScelta.trimmed().isEmpty())
        return;
    Ldesc->hide();
    DescTab->hide();
    Lcod->show();
    CodTab->show();
    CodTab->setText(rigaScelta.trimmed());
    chiudiRicerca(rigaScelta);
}

// ---- the two buttons -----------------------------------------------------------------------

void PaginaRicerca::cmd_r_MouseDown(int)
{
    stato_.saltaControllo = true;
    stato_.formAttivata = false;
}

void PaginaRicerca::cmd_r_GotFocus(int) { stato_.formAttivata = false; }

void PaginaRicerca::cmd_r_Click(int i)
{
    stato_.saltaControllo = true;
    if (i == 1) {
        Q_EMIT uscitaRichiesta();
        return;
    }
    if (cmd_r[0]->text().startsWith(testiRicerca::versoLista)) {
        stato_.listaAttiva = true;
        Lista->setFocus();
    } else {
        chiudiRicerca(CodTab->text().trimmed());
    }
}

// ---- searching and leaving -----------------------------------------------------------------

void PaginaRicerca::cercaRegistri(const QString& chiave)
{
    const store::Esito e = modello_->cerca(tipoRicerca, chiave);
    if (!e.ok()) {
        // Nothing is known about the range, so neither selecting nor inserting is offered.
        cmd_r[0]->setText(QString());
        cmd_r[0]->hide();
        avvisa(e.descrizione);
        return;
    }
    if (modello_->rowCount() > 0) {
        cmd_r[0]->setText(testiRicerca::seleziona);
        cmd_r[0]->show();
    } else if (tipoRicerca == TipoRicerca::Codice && !CodTab->text().trimmed().isEmpty()) {
        cmd_r[0]->setText(testiRicerca::nuovo);
        cmd_r[0]->show();
    } else {
        cmd_r[0]->setText(QString());
        cmd_r[0]->hide();
    }
}

void PaginaRicerca::letturaFallita(const QString& descrizione)
{
    Azione a(*this);
    const bool inLista = Lista->hasFocus();
    modello_->svuota();
    cmd_r[0]->setText(QString());
    cmd_r[0]->hide();
    if (inLista)
        fuocoRicerca();  // the focus cannot rest in an empty list
    avvisa(descrizione);
}

void PaginaRicerca::avvisa(const QString& descrizione)
{
    if (avvisato_)
        return;
    avvisato_ = true;
    // The Italian headline first; the engine's own words, when it gave any, under it for whoever helps the clerk.
    const QString testo = descrizione.trimmed().isEmpty() ? testiRicerca::erroreRicerca
                                                          : testiRicerca::erroreRicerca + u'\n' + descrizione;
    dialoghi_.chiedi(testo, testiRicerca::titoloProgramma, app::Pulsanti::Ok, app::Icona::Nessuna);
}

void PaginaRicerca::chiudiRicerca(const QString& codice)
{
    stato_.paginaAttiva = 2;
    stato_.saltaControllo = false;
    stato_.listaAttiva = false;
    // The window hides this page and moves the focus off it; that is not the clerk leaving a box.
    chiusura_ = true;
    Q_EMIT chiusa(codice);
    chiusura_ = false;
}
