#pragma once

#include "app/dialoghi.h"

#include <QList>

#include <functional>

// The message boxes a test answers: from a queue, as Escape would once it is empty; `mentre` acts while each is open.
class DialoghiProva final : public app::Dialoghi {
public:
    struct Domanda {
        QString testo;
        QString titolo;
        app::Pulsanti pulsanti;
        app::Icona icona;
        int predefinito;
    };
    QList<int> risposte;
    QList<Domanda> domande; // every box shown, in order
    std::function<void()> mentre;

    int chiedi(const QString& testo, const QString& titolo, app::Pulsanti pulsanti, app::Icona icona,
               int predefinito = 0) override
    {
        domande.append({testo, titolo, pulsanti, icona, predefinito});
        if (mentre)
            mentre();
        if (!risposte.isEmpty())
            return risposte.takeFirst();
        return pulsanti == app::Pulsanti::Ok ? app::OK : pulsanti == app::Pulsanti::SiNo ? app::No : app::Annulla;
    }
};
