#pragma once

#include "app/statofinestra.h"
#include "form/mappacampi.h"
#include "form/regole.h"
#include "store/registro.h"
#include "store/archivioregistri.h"

#include <QDate>
#include <QWidget>
#include <array>
#include <functional>

class Casella;
class PaginaRicerca;
class SceltaRegistri;
class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
namespace app { class Dialoghi; }

// The program's one window: loading it starts the program, unloading it ends it.
class Startup final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Startup)
public:
    explicit Startup(app::Dialoghi& dialoghi, QWidget* genitore = nullptr);
    ~Startup() override;

    // Prepares the window and, with `mostra`, shows it once the company is open; false when the clerk gave up
    // on a missing company and the program ends.
    bool Form_Load(const QString& cartellaProgramma, const QDate& oggi = QDate::currentDate(), bool mostra = false);

    // The whole program: load, show, run until unloaded.
    static int esegui();

    // The window-wide hot keys; called first for every key that goes down.
    std::function<void(int codice, int maschera)> tastiGlobali;

    // Program-wide values read at start-up.
    QString fileIni;
    QString codiceSocieta;
    QString cartellaDati;
    QString percorsoDatabase;
    QStringList nomiAmbigui;  // names that differ only in case, none of them taken

    StatoFinestra stato;
    Registro registroCorrente;
    regole::Modo modoRegistro = regole::Attesa;

    store::ArchivioRegistri& archivio() { return archivio_; }
    // The visible "&USCITA": the edit page's or the search page's.
    QPushButton* uscitaVisibile() const;

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void changeEvent(QEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void paintEvent(QPaintEvent* evento) override;

private:
    void costruisci();
    void costruisciPagine();
    void impostaCampo(const mappa::Campo& c);
    void completa();  // the type pages, when the window was shown before they were built
    void costruisciCarico(QWidget* pagina);
    void costruisciScarico(QWidget* pagina);
    QSize misura();
    void posiziona(QSize dimensione);
    QString impronta() const;
    enum class Apertura { Rinuncia, SenzaTabelle, Aperta };
    Apertura apriSocieta();
    PaginaRicerca* paginaRicerca();
    SceltaRegistri* sceltaRegistri();
    bool ricercaAperta() const;
    bool apriDatabase();
    bool apriTabella(bool registri);
    void Form_Unload();

    // Field map <-> widgets.
    regole::Maschera leggiWidget() const;
    void scriviWidget(const regole::Maschera& m);

    void pulisciCampi();
    void azzeraRegistro();
    void tornaInAttesa();
    void controllaCodice();
    void applicaModo(regole::Modo modo);
    void mostraTipo(const QString& carScar);
    void campiCarico(bool visibili);
    void apriRicerca();
    void chiudiRicerca(const QString& codice);
    void scriviRegistro();
    void eliminaRegistro();

    void DicKod_GotFocus();
    void DicKod_LostFocus();
    void DicKod_DblClick();
    void Txt_GotFocus(int i);
    void Txt_LostFocus(int i);
    void Txt_DblClick(int i);
    void OptCS_Click(int i);
    void cmdD_Click(int i);
    void cmdD_MouseDown(int i);

    bool Form_KeyDown(QWidget* destinatario, int& codice, int maschera);
    bool Form_KeyPress(QWidget* destinatario, QKeyEvent* evento);
    void tabSuInvio();
    bool campoPrecedente();
    bool campoSuccessivo();
    bool disponibile(int i) const;
    void selezionaTesto(Casella* casella);

    app::Dialoghi& dialoghi_;
    store::ArchivioRegistri archivio_;
    store::ArchivioRegistri::Righe mostrate_;  // both rows as the look-up found them, for the save to compare
    bool inoltro_ = false;  // a key event of our own is on its way to a control
    bool uscitaPremuta_ = false;  // the mouse went down on USCITA and has not come up yet
    Apertura apertura_ = Apertura::Rinuncia;
    QString improntaMisura_;  // what the window's size was measured under, and the size an earlier start kept
    QSize dimensioneRicordata_;
    const QEvent* ultimoTasto_ = nullptr;  // the key press handled last, and its time, to handle it once
    quint64 istanteUltimo_ = 0;

public:
    // The controls, named and indexed as the clerk's manual names them.
    QWidget* Pict1 = nullptr;  // Pict(1), the search page, built when first opened
    QWidget* Pict2 = nullptr;  // Pict(2), the edit page
    std::array<QWidget*, 2> Picture1{};  // (0) unloading page, (1) loading page
    QLabel* Label1 = nullptr;
    QLabel* lbVer = nullptr;
    Casella* DicKod = nullptr;
    std::array<Casella*, 23> Txt{};  // Txt(1)..Txt(22)
    std::array<QRadioButton*, 4> OptCS{};
    std::array<QRadioButton*, 2> Option1{};
    std::array<QLabel*, 6> LabeG{};
    QComboBox* Combo1 = nullptr;
    QComboBox* cmbRiqACT = nullptr;
    std::array<QPushButton*, 4> cmdD{};
    PaginaRicerca* ricerca = nullptr;
    SceltaRegistri* pctRice = nullptr;  // the register picker, built when first opened
};
