#pragma once

#include "store/ricerca.h"

#include <QWidget>
#include <array>

class Casella;
class Elenco;
class ModelloRicerca;
class QLabel;
class QPushButton;
struct StatoFinestra;
namespace app { class Dialoghi; }
namespace store { class ArchivioRegistri; }

// The search page Pict(1): registers listed by a range of codes or descriptions as the clerk types.
class PaginaRicerca final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PaginaRicerca)
public:
    PaginaRicerca(store::ArchivioRegistri& archivio, StatoFinestra& stato, app::Dialoghi& dialoghi,
                  QWidget* genitore = nullptr);
    ~PaginaRicerca() override;

    // Opens on the code search, prefilled with the code typed so far (trimmed).
    void apri(const QString& codice);
    // Picks the selected row, as a double click does.
    void scegli();
    // Gives the focus to the search box that is shown.
    void fuocoRicerca();
    // A mouse press reached `w` before the focus moved.
    void premuto(QWidget* w);

    QPushButton* uscita() const { return cmd_r[1]; }
    store::TipoRicerca tipo() const { return tipoRicerca; }

Q_SIGNALS:
    // The page closed on this code (a picked row's as stored, a typed one trimmed): the edit page looks it up.
    void chiusa(const QString& codice);
    // "&USCITA" of the page: the program ends.
    void uscitaRichiesta();

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;

private:
    struct Azione;

    Casella* campo(store::TipoRicerca tipo) const;
    void campo_GotFocus(store::TipoRicerca tipo);
    void campo_Change(store::TipoRicerca tipo);
    void campo_LostFocus(store::TipoRicerca tipo);
    void Lista_MouseDown();
    void Lista_GotFocus();
    void Lista_LostFocus();
    void Lista_DblClick();
    void cmd_r_MouseDown(int i);
    void cmd_r_GotFocus(int i);
    void cmd_r_Click(int i);
    void cercaRegistri(const QString& chiave);
    void chiudiRicerca(const QString& codice);
    void letturaFallita(const QString& descrizione);
    void avvisa(const QString& descrizione);

    store::ArchivioRegistri& archivio_;
    StatoFinestra& stato_;
    app::Dialoghi& dialoghi_;
    ModelloRicerca* modello_ = nullptr;
    store::TipoRicerca tipoRicerca = store::TipoRicerca::Codice;
    QString rigaScelta;
    int annidamento_ = 0;      // handlers running for the clerk's current action
    bool avvisato_ = false;    // this action has already reported a failing search
    bool fuocoAtteso_ = false; // the action gave the focus while the window was inactive: its entry is still ours
    bool chiusura_ = false;    // the page is being left: focus moves are not the clerk's

    QLabel* IETab = nullptr;
    QLabel* Lcod = nullptr;
    QLabel* Ldesc = nullptr;
    Casella* CodTab = nullptr;
    Casella* DescTab = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    Elenco* Lista = nullptr;
    std::array<QPushButton*, 2> cmd_r{};
};
