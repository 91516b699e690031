#include "tastiglobali.h"

#include "moduliopzionali.h"
#include "testi.h"

#include "app/dialoghi.h"
#include "app/puntatore.h"
#include "app/tasti.h"

namespace suite {

using namespace Qt::StringLiterals;

namespace {

const QString sveglia = u"Zevedez"_s;
const QString sezioneChiamante = u"BASE"_s;

} // namespace

TastiGlobali::TastiGlobali(FinestraSuite& finestra, app::Dialoghi& dialoghi, Processi& processi)
    : finestra_(finestra), dialoghi_(dialoghi), processi_(processi)
{
}

void TastiGlobali::tastiGlobali(int codice, int maschera)
{
    tastoShift = (maschera & app::tasti::Shift) != 0;
    tastoCtrl = (maschera & app::tasti::Ctrl) != 0;
    tastoAlt = (maschera & app::tasti::Alt) != 0;
    if (codice == app::tasti::F2) {
        // Ctrl+Alt+F2 switches the console on most Linux desktops before it gets here; Ctrl+Shift+F2 always arrives.
        if (tastoCtrl && (tastoAlt || tastoShift)) {
            // Asked before anything is queued, so that No leaves the program running as it was.
            risposta = dialoghi_.chiedi(testi::esco, testi::titoloUscitaForzata, app::Pulsanti::SiNo,
                                        app::Icona::Esclamazione, app::No);
            if (risposta == app::Si)
                finestra_.terminaSubito();
        } else {
            finestra_.premiUscitaVisibile();
        }
    }
    if (codice == app::tasti::S && tastoShift && tastoCtrl)
        attivaModulo(sveglia);
}

void TastiGlobali::attivaModulo(const QString& nome)
{
    app::clessidraRichiesta = true;
    app::mostraClessidra();
    ModuliOpzionali modulo(fileIni, codiceSocieta, dialoghi_, processi_);
    modulo.nomeProceduraChiamata(nome);
    modulo.nomeProceduraChiamante(sezioneChiamante);
    app::ripristinaPuntatore();
    modulo.attivaProcedura();
    modulo.scriviCodiceSocieta();
}

} // namespace suite
