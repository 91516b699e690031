#pragma once

#include "store/esito.h"
#include "store/registro.h"

#include <QString>
#include <array>
#include <optional>

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

} // namespace regole
