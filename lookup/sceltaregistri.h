#pragma once

#include <QString>
#include <QWidget>

class Elenco;
class QLabel;
class QPushButton;
class QStringListModel;
struct StatoFinestra;
namespace app { class Dialoghi; }
namespace store { class ArchivioRegistri; }

// The register picker pctRice: loading groups or unloading registers for Txt(7) and Txt(8).
class SceltaRegistri final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SceltaRegistri)
public:
    SceltaRegistri(store::ArchivioRegistri& archivio, StatoFinestra& stato, app::Dialoghi& dialoghi,
                   QWidget* genitore = nullptr);

    // Fills the list with the registers of `tipo` ("G" or "S"), places it under `campo` and shows it.
    void caricaElencoRegistri(const QString& tipo, QWidget* campo);
    // Enter on the list picks its line as a double click does; false when `destinatario` is not the list.
    bool invio(QWidget* destinatario);

Q_SIGNALS:
    // A code was picked (List1_DblClick): the window puts it into Txt(campoCorrente).
    void scelto(const QString& codice);
    // The picker closed (Command1_Click): the window gives the keyboard back to the edit page.
    void chiuso();

private:
    void List1_DblClick();
    void Command1_Click();

    store::ArchivioRegistri& archivio_;
    StatoFinestra& stato_;
    app::Dialoghi& dialoghi_;
    QString rigaScelta;
    QStringListModel* righe_ = nullptr;
    QLabel* Label5 = nullptr;
    Elenco* List1 = nullptr;
    QPushButton* Command1 = nullptr;
};
