#pragma once

#include <QList>
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

// For tests: answers from a queue and records what was asked.
class DialoghiScript final : public Dialoghi {
public:
    struct Domanda {
        QString testo;
        QString titolo;
        Pulsanti pulsanti;
        Icona icona;
        int predefinito;
    };
    QList<int> risposte;     // taken from the front; empty answers OK/No/Cancel as Escape would
    QList<Domanda> domande;  // every box shown, in order

    int chiedi(const QString& testo, const QString& titolo, Pulsanti pulsanti, Icona icona,
               int predefinito = 0) override
    {
        domande.append({testo, titolo, pulsanti, icona, predefinito});
        if (!risposte.isEmpty())
            return risposte.takeFirst();
        switch (pulsanti) {
        case Pulsanti::Ok: return OK;
        case Pulsanti::RiprovaAnnulla: return Annulla;
        case Pulsanti::SiNo: return No;
        }
        return OK;
    }
};

} // namespace app
