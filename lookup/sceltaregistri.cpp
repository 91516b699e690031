#include "sceltaregistri.h"

#include "app/dialoghi.h"
#include "app/statofinestra.h"
#include "lookup/elenco.h"
#include "lookup/righe.h"
#include "lookup/testi.h"
#include "store/archivioregistri.h"
#include "store/ricerca.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSqlQuery>
#include <QStringListModel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SceltaRegistri::SceltaRegistri(store::ArchivioRegistri& archivio, StatoFinestra& stato, app::Dialoghi& dialoghi,
                               QWidget* genitore)
    : QWidget(genitore), archivio_(archivio), stato_(stato), dialoghi_(dialoghi)
{
    setObjectName(u"pctRice"_s);
    setAutoFillBackground(true);
    auto* colonna = new QVBoxLayout(this);
    Label5 = new QLabel(testiRicerca::registriScarico, this);
    Label5->setObjectName(u"Label5"_s);
    List1 = new Elenco(this);
    List1->setObjectName(u"List1"_s);
    List1->setAccessibleName(testiRicerca::registri);
    QFont fisso(u"Courier New"_s);
    fisso.setStyleHint(QFont::TypeWriter);
    fisso.setPointSizeF(9.75);
    List1->setFont(fisso);
    righe_ = new QStringListModel(this);
    List1->setModel(righe_);
    Command1 = new QPushButton(testiRicerca::annulla, this);
    Command1->setObjectName(u"Command1"_s);
    colonna->addWidget(Label5);
    colonna->addWidget(List1);
    colonna->addWidget(Command1);
    resize(330, 190);
    hide();
    connect(List1, &Elenco::doppioClic, this, &SceltaRegistri::List1_DblClick);
    connect(Command1, &QPushButton::clicked, this, &SceltaRegistri::Command1_Click);
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WidgetWithChildrenShortcut);
    connect(esc, &QShortcut::activated, this, &SceltaRegistri::Command1_Click);
}

bool SceltaRegistri::invio(QWidget* destinatario)
{
    if (destinatario != List1)
        return false;
    List1_DblClick();
    return true;
}

void SceltaRegistri::caricaElencoRegistri(const QString& tipo, QWidget* campo)
{
    QStringList righe;
    const store::Istruzione istruzione = store::elencoRegistri(archivio_.database().driver(), tipo);
    const store::Esito e = store::esegui(archivio_, istruzione, stato_.testoSql, [&righe](const QSqlQuery& q) {
        righe << righe::rigaElenco(q.value(store::elCodice), q.value(store::elDescrizione));
    });
    if (!e.ok())
        righe.clear();
    righe_->setStringList(righe);  // afresh each time: nothing is kept between openings
    const bool scarico = tipo == u"S"_s;
    Label5->setText(scarico ? testiRicerca::registriScarico : testiRicerca::gruppiCarico);
    if (campo && parentWidget()) {
        const QPoint sotto = parentWidget()->mapFromGlobal(campo->mapToGlobal(QPoint(0, campo->height())));
        move(scarico ? sotto.x() : parentWidget()->contentsRect().right() + 1 - width(), sotto.y());
    }
    show();
    raise();
    List1->setFocus();
    if (!e.ok())
        dialoghi_.chiedi(testiRicerca::erroreElenco + u'\n' + e.descrizione, testiRicerca::titoloProgramma,
                         app::Pulsanti::Ok, app::Icona::Nessuna);
}

void SceltaRegistri::List1_DblClick()
{
    const QModelIndexList scelte = List1->selectionModel()->selectedIndexes();
    rigaScelta = scelte.isEmpty() ? QString() : scelte.first().data().toString();
    rigaScelta = rigaScelta.left(10).trimmed();
    Q_EMIT scelto(rigaScelta);
    Command1_Click();
}

void SceltaRegistri::Command1_Click()
{
    // Hiding a panel that holds the focus would hand it to the next box and change the current field.
    if (QWidget* f = focusWidget(); f && isAncestorOf(f))
        f->clearFocus();
    hide();
    stato_.paginaAttiva = 2;
    Q_EMIT chiuso();
}
