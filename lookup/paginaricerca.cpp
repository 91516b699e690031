#include "paginaricerca.h"

#include "app/statofinestra.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

using namespace Qt::StringLiterals;

PaginaRicerca::PaginaRicerca(store::RegisterStore& archivio, StatoFinestra& stato, app::Dialogs& dialoghi,
                             QWidget* genitore)
    : QWidget(genitore), archivio_(archivio), stato_(stato), dialoghi_(dialoghi)
{
    setObjectName(u"Pict(1)"_s);
    auto* griglia = new QGridLayout(this);
    IETab = new QLabel(u"Registri Proc. Sempl. EXPORT"_s, this);
    IETab->setObjectName(u"IETab"_s);
    QFont titolo = IETab->font();
    titolo.setBold(true);
    titolo.setPointSizeF(12);
    IETab->setFont(titolo);
    for (int i = 0; i < 2; ++i) {
        cmd_r[i] = new QPushButton(i == 0 ? u"&CONFERMA"_s : u"&USCITA"_s, this);
        cmd_r[i]->setObjectName(u"cmd_r(%1)"_s.arg(i));
    }
    QFont fisso(u"Courier New"_s);
    fisso.setStyleHint(QFont::TypeWriter);
    fisso.setPointSizeF(9.75);
    Lcod = new QLabel(u"Codice"_s, this);
    Lcod->setObjectName(u"Lcod"_s);
    CodTab = new QLineEdit(this);
    CodTab->setObjectName(u"CodTab"_s);
    CodTab->setMaxLength(10);
    CodTab->setAccessibleName(u"Codice"_s);
    Ldesc = new QLabel(u"Descrizione"_s, this);
    Ldesc->setObjectName(u"Ldesc"_s);
    DescTab = new QLineEdit(this);
    DescTab->setObjectName(u"DescTab"_s);
    DescTab->setMaxLength(30);
    DescTab->setAccessibleName(u"Descrizione"_s);
    for (QLineEdit* e : {CodTab, DescTab}) {
        e->setFont(fisso);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QString(e->maxLength() + 2, u'M')));
    }
    Label3 = new QLabel(u"AUTORIZZAZ.          MECCAN.          ULTIMO      REGISTRO         COD"_s, this);
    Label3->setObjectName(u"Label3"_s);
    Label2 = new QLabel(u"PROGR.     SCARICO             EDI"_s, this);
    Label2->setObjectName(u"Label2"_s);
    Lista = new QListView(this);
    Lista->setObjectName(u"Lista"_s);
    Lista->setAccessibleName(u"Registri trovati"_s);
    Lista->setFont(fisso);
    Lista->setUniformItemSizes(true);

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

    connect(cmd_r[0], &QPushButton::clicked, this, [this] {
        stato_.saltaControllo = true;
        chiudiRicerca();
    });
    connect(cmd_r[1], &QPushButton::clicked, this, [this] {
        stato_.saltaControllo = true;
        Q_EMIT uscitaRichiesta();
    });
}

PaginaRicerca::~PaginaRicerca() = default;

void PaginaRicerca::apri(const QString& codice)
{
    Lcod->show();
    CodTab->show();
    Ldesc->hide();
    DescTab->hide();
    cmd_r[0]->hide();
    DescTab->setText(QString());
    CodTab->setText(codice.trimmed());
    fuocoRicerca();
}

void PaginaRicerca::scegli() {}

void PaginaRicerca::fuocoRicerca()
{
    if (CodTab->isVisible())
        CodTab->setFocus();
    else if (DescTab->isVisible())
        DescTab->setFocus();
}

void PaginaRicerca::premuto(QWidget* w)
{
    if (w == cmd_r[0] || w == cmd_r[1]) {
        stato_.saltaControllo = true;
        stato_.formAttivata = false;
    } else if (w == Lista || Lista->isAncestorOf(w)) {
        stato_.listaAttiva = true;
    }
}

void PaginaRicerca::chiudiRicerca()
{
    stato_.paginaAttiva = 2;
    stato_.saltaControllo = false;
    Q_EMIT chiusa(CodTab->text());
}
