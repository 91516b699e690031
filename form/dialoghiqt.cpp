#include "dialoghiqt.h"

#include "testi.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <map>

int DialoghiQt::chiedi(const QString& testo, const QString& titolo, app::Pulsanti pulsanti, app::Icona icona,
                       int predefinito)
{
    QMessageBox box(genitore_);
    box.setWindowTitle(titolo);
    box.setText(testo);
    switch (icona) {
    case app::Icona::Nessuna: box.setIcon(QMessageBox::NoIcon); break;
    case app::Icona::Critica: box.setIcon(QMessageBox::Critical); break;
    case app::Icona::Domanda: box.setIcon(QMessageBox::Question); break;
    case app::Icona::Esclamazione: box.setIcon(QMessageBox::Warning); break;
    }
    std::map<QAbstractButton*, int> risposte;
    auto aggiungi = [&](const QString& scritta, QMessageBox::ButtonRole ruolo, int numero) {
        QPushButton* b = box.addButton(scritta, ruolo);
        risposte[b] = numero;
        return b;
    };
    QPushButton* predef = nullptr;
    switch (pulsanti) {
    case app::Pulsanti::Ok:
        predef = aggiungi(testi::pulsanteOk, QMessageBox::AcceptRole, app::OK);
        box.setEscapeButton(predef);
        break;
    case app::Pulsanti::RiprovaAnnulla: {
        QPushButton* riprova = aggiungi(testi::pulsanteRiprova, QMessageBox::AcceptRole, app::Riprova);
        QPushButton* annulla = aggiungi(testi::pulsanteAnnulla, QMessageBox::RejectRole, app::Annulla);
        box.setEscapeButton(annulla);
        predef = predefinito == app::Riprova ? riprova : annulla;
        break;
    }
    case app::Pulsanti::SiNo: {
        QPushButton* si = aggiungi(testi::pulsanteSi, QMessageBox::YesRole, app::Si);
        QPushButton* no = aggiungi(testi::pulsanteNo, QMessageBox::NoRole, app::No);
        box.setEscapeButton(no);
        predef = predefinito == app::Si ? si : no;
        break;
    }
    }
    box.setDefaultButton(predef);
    // The box is sized by its text; a short text would leave the title cut ("USCIT…ZATA").
    if (auto* griglia = qobject_cast<QGridLayout*>(box.layout())) {
        const int larghezza = box.fontMetrics().horizontalAdvance(titolo) * 3 / 2 + 120;
        griglia->addItem(new QSpacerItem(larghezza, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), griglia->rowCount(),
                         0, 1, griglia->columnCount());
    }
    box.exec();
    const auto trovata = risposte.find(box.clickedButton());
    if (trovata != risposte.end())
        return trovata->second;
    return pulsanti == app::Pulsanti::SiNo ? app::No : pulsanti == app::Pulsanti::Ok ? app::OK : app::Annulla;
}
