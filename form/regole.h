#pragma once

#include "store/archivioregistri.h"
#include "store/esito.h"
#include "store/registro.h"

#include <QString>
#include <array>
#include <optional>

namespace app { class Dialoghi; }

// The window's content as plain values, and the rules between it and the register buffer.
namespace regole {

struct Maschera {
    QString DicKod;
    std::array<QString, 23> Txt;  // Txt(1)..Txt(22); index 0 unused
    int tipo = 3;                 // the checked OptCS; 3 is the hidden "no type" option
    bool serie = true;            // Option1(0) "Serie" rather than Option1(1) "Numero"
    int protocollo = 0;           // entry shown by Combo1, -1 for none
    int riquadri = -1;            // entry shown by cmbRiqACT, -1 for none
};

enum Modo : int { Attesa = 0, Variazione = 1, Inserimento = 2 };

// What the edit page shows and allows in each mode.
struct StatoModo {
    bool elimina;
    bool conferma;
    bool annulla;
    bool codiceAbilitato;
    QString titolo;
};
const StatoModo& statoModo(Modo modo);

// The cleared page: the code kept, blanks elsewhere, "0" in the two counters, no type.
void pulisciCampi(const Registro& registro, Maschera& m);

// Buffer and heading row into the page; fields without a stored value keep what they show.
void mostraRegistro(const Registro& registro, const std::optional<TestataRegistro>& testata, Maschera& m);

// The type option for a stored register type, or -1 when it names none.
int opzioneTipo(const QString& carScar);

// The page into the buffer, by the register type chosen; fails on a number the column cannot hold.
store::Esito leggiMaschera(const Maschera& m, Registro& registro);
TestataRegistro testataMaschera(const Maschera& m);

// SspMeccanogNum as its box shows it, the stored value when the 16-bit number cannot hold it.
QString meccanograficoMostrato(const Registro& registro);

// The first character of a list entry, or a blank when none is shown.
QString codiceVoce(const QStringList& voci, int indice);

// A failed store operation: the headline, then why (the register in use, or the engine's text).
QString testoErrore(const QString& titolo, const store::Esito& e);
// A table that would not open: the headline, then why when the clerk can act on it.
QString testoApertura(bool registri, const store::Esito& e);
// A company that cannot be opened, with the names passed over for their case.
QString testoSocietaInesistente(const QStringList& ambigui);

using Righe = store::ArchivioRegistri::Righe;

// The look-up of the code in `corrente` and the page `m` it leaves: the buffer filled from the rows
// found, kept in `mostrate` for the save to compare; a missing register is inserted only when the
// clerk agrees. None for a code of blanks or a failed read, which leave the page as it is.
std::optional<Modo> controllaCodice(store::ArchivioRegistri& archivio, app::Dialoghi& dialoghi, Registro& corrente,
                                    Righe& mostrate, Maschera& m);
// A confirm of page `m`: true when both rows were written and `corrente` holds them. A number the
// column cannot hold, a replaced number the clerk keeps, or another clerk's change the clerk does
// not override writes nothing, and the page stays as typed.
bool salva(store::ArchivioRegistri& archivio, app::Dialoghi& dialoghi, Registro& corrente, const Righe& mostrate,
           Maschera m);

enum class Cancellazione { Rinunciata, Tenuta, Conclusa };
// A delete: given up before anything is done, kept on the page so the clerk can look at another
// clerk's change, or concluded (done, or its error shown).
Cancellazione elimina(store::ArchivioRegistri& archivio, app::Dialoghi& dialoghi, const QString& codice,
                      const Righe& mostrate);

} // namespace regole
