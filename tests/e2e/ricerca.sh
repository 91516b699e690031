#!/usr/bin/env bash
# Finding a register from the keyboard on the search page, by code and by description:
# the pick opens it for a change, and the change reaches the company's file.
source "$(dirname "$0")/sessione.sh"
avvia_sessione
prepara_programma "$1" "$2" E2E
rm -f "$DATABASE"
"$2" esempio "$DATABASE" >/dev/null
descrizione() { echo "SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice='$1'"; }

"$PROGRAMMA/pemtarx" &
pid=$!
aspetta_finestra "GESTIONE REGISTRI PER PROCEDURE" >/dev/null
sleep 0.3

# By code: F4, part of a code, into the list, the second row (SMI, then SMXP), Enter.
xdotool key F4
sleep 0.3
xdotool type --delay 30 sm
sleep 0.2
xdotool key alt+x
sleep 0.2
xdotool key Down Return
sleep 0.3
xdotool type --delay 30 "trovato per codice"
xdotool key alt+c
aspetta_sql "$DATABASE" "$(descrizione SMXP)" "TROVATO PER CODICE"
aspetta_sql "$DATABASE" "$(descrizione SMI)" "SCARICO EXPORT MILANO"

# By description: leaving the empty code box switches the search, then the first row found.
sleep 0.3
xdotool key F4
sleep 0.3
xdotool key Tab
sleep 0.2
xdotool type --delay 30 "scarico export t"
sleep 0.2
xdotool key alt+x
sleep 0.2
xdotool key Return
sleep 0.3
xdotool type --delay 30 "trovato per descrizione"
xdotool key alt+c
aspetta_sql "$DATABASE" "$(descrizione STO)" "TROVATO PER DESCRIZIONE"

sleep 0.3
xdotool key alt+u
aspetta_fine "$pid"
[ "$STATO" = 0 ] || fallisci "uscita con stato $STATO"
echo "ricerca: ok"
