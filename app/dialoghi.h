#pragma once

#include <QString>

// Every message box of the program goes through this seam, so tests can answer it.
namespace app {

// Answer numbers as the suite's programs have always used them.
enum Risposta : int { OK = 1, Annulla = 2, Riprova = 4, Si = 6, No = 7 };

enum class Pulsanti { Ok, RiprovaAnnulla, SiNo };
enum class Icona { Nessuna, Critica, Domanda, Esclamazione };

class Dialoghi {
public:
    virtual ~Dialoghi() = default;
    // Shows `testo` under `titolo` and returns the number of the button pressed.
    // `predefinito` is the default button; 0 lets the button set choose (No, Cancel).
    virtual int chiedi(const QString& testo, const QString& titolo, Pulsanti pulsanti, Icona icona,
                       int predefinito = 0) = 0;
};

} // namespace app
