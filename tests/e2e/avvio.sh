#!/usr/bin/env bash
# The real program starts on its company, shows its caption and ends with Alt+U;
# on a company that does not exist it shows the error box and Escape ends it.
source "$(dirname "$0")/sessione.sh"
avvia_sessione
prepara_programma "$1" "$2" E2E

"$PROGRAMMA/pemtarx" &
pid=$!
finestra=$(aspetta_finestra "GESTIONE REGISTRI PER PROCEDURE SEMPLIFICATE EXPORT")
titolo=$(xdotool getwindowname "$finestra")
oggi=$(date +%d/%m/%Y)
[ "$titolo" = "GESTIONE REGISTRI PER PROCEDURE SEMPLIFICATE EXPORT$(printf '%40s' '')($oggi)" ] ||
  fallisci "titolo inatteso: '$titolo'"
xdotool key alt+u
aspetta_fine "$pid"
[ "$STATO" = 0 ] || fallisci "uscita con stato $STATO"

sed -i 's/DITTA=E2E/DITTA=NESSUNA/' "$PROGRAMMA/Quendrix.ini"
"$PROGRAMMA/pemtarx" &
pid=$!
aspetta_finestra "TRESKO - ERRORE" >/dev/null
xdotool search --onlyvisible --name "GESTIONE REGISTRI" >/dev/null 2>&1 && fallisci "la finestra non doveva apparire"
xdotool key Escape
aspetta_fine "$pid"
[ "$STATO" = 0 ] || fallisci "uscita con stato $STATO"
echo "avvio: ok"
