#pragma once

#include <QString>

namespace app { class Dialoghi; }

namespace suite {

class Processi;

// What the hot keys need of the window.
class FinestraSuite {
public:
    virtual ~FinestraSuite() = default;
    // Clicks the "&USCITA" button that is visible, queued after the key being handled.
    virtual void premiUscitaVisibile() = 0;
    // Ends the program now: no unload handling, the tables are left as they are.
    virtual void terminaSubito() = 0;
};

// The keys that work everywhere in the window: exit, forced exit and the alarm clock.
class TastiGlobali final {
    Q_DISABLE_COPY_MOVE(TastiGlobali)
public:
    TastiGlobali(FinestraSuite& finestra, app::Dialoghi& dialoghi, Processi& processi);

    // Called first for every key that goes down, with the key's code and shift mask.
    void tastiGlobali(int codice, int maschera);
    // Brings forward procedure `nome` if it runs for this company, otherwise starts it.
    void attivaModulo(const QString& nome);

    // Program-wide values the window reads at start-up.
    QString fileIni;
    QString codiceSocieta;

    // The modifiers held at the last key-down, and the answer to the forced-exit question.
    bool tastoShift = false;
    bool tastoCtrl = false;
    bool tastoAlt = false;
    int risposta = 0;

private:
    FinestraSuite& finestra_;
    app::Dialoghi& dialoghi_;
    Processi& processi_;
};

} // namespace suite
