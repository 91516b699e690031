#include "sceltaregistri.h"

#include "app/statofinestra.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SceltaRegistri::SceltaRegistri(store::RegisterStore& archivio, StatoFinestra& stato, app::Dialogs& dialoghi,
                               QWidget* genitore)
    : QWidget(genitore), archivio_(archivio), stato_(stato), dialoghi_(dialoghi)
{
    setObjectName(u"pctRice"_s);
    setAutoFillBackground(true);
    auto* colonna = new QVBoxLayout(this);
    Label5 = new QLabel(u"      REGISTRI DI SCARICO"_s, this);
    Label5->setObjectName(u"Label5"_s);
    List1 = new QListWidget(this);
    List1->setObjectName(u"List1"_s);
    List1->setAccessibleName(u"Registri"_s);
    QFont fisso(u"Courier New"_s);
    fisso.setStyleHint(QFont::TypeWriter);
    fisso.setPointSizeF(9.75);
    List1->setFont(fisso);
    Command1 = new QPushButton(u"&ANNULLA"_s, this);
    Command1->setObjectName(u"Command1"_s);
    colonna->addWidget(Label5);
    colonna->addWidget(List1);
    colonna->addWidget(Command1);
    resize(330, 190);
    hide();
    connect(List1, &QListWidget::itemDoubleClicked, this, &SceltaRegistri::List1_DblClick);
    connect(Command1, &QPushButton::clicked, this, &SceltaRegistri::Command1_Click);
}

void SceltaRegistri::caricaElencoRegistri(const QString& tipo, QWidget* campo)
{
    List1->clear();
    Label5->setText(tipo == u"S"_s ? u"      REGISTRI DI SCARICO"_s : u"       GRUPPI DI CARICO"_s);
    if (campo)
        move(campo->mapTo(parentWidget(), QPoint(0, campo->height())));
    show();
    raise();
    List1->setFocus();
}

void SceltaRegistri::List1_DblClick()
{
    const QListWidgetItem* voce = List1->currentItem();
    Q_EMIT scelto(voce ? voce->text().left(10).trimmed() : QString());
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
