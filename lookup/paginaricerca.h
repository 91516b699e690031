#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
struct StatoFinestra;
namespace app { class Dialogs; }
namespace store { class RegisterStore; }

// The search page Pict(1): registers listed by a range of codes or descriptions as the clerk types.
class PaginaRicerca final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PaginaRicerca)
public:
    PaginaRicerca(store::RegisterStore& archivio, StatoFinestra& stato, app::Dialogs& dialoghi,
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

Q_SIGNALS:
    // The page closed on this code: the edit page looks it up.
    void chiusa(const QString& codice);
    // "&USCITA" of the page: the program ends.
    void uscitaRichiesta();

private:
    void chiudiRicerca();

    store::RegisterStore& archivio_;
    StatoFinestra& stato_;
    app::Dialogs& dialoghi_;
    QLabel* IETab = nullptr;
    QLabel* Lcod = nullptr;
    QLabel* Ldesc = nullptr;
    QLineEdit* CodTab = nullptr;
    QLineEdit* DescTab = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QListView* Lista = nullptr;
    std::array<QPushButton*, 2> cmd_r{};
};
