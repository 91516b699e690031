#!/usr/bin/env bash
# A whole maintenance from the keyboard: insert a register, change it, delete it,
# each step checked in the company's database file.
source "$(dirname "$0")/sessione.sh"
avvia_sessione
prepara_programma "$1" "$2" E2E
registri="SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCodice='NUOVO1'"
testate="SELECT COUNT(*) FROM TestataRegistriPS WHERE TpsCodice='NUOVO1'"

"$PROGRAMMA/pemtarx" &
pid=$!
aspetta_finestra "GESTIONE REGISTRI PER PROCEDURE" >/dev/null
sleep 0.3

# A new code, Enter, and Yes to the question.
xdotool type --delay 30 nuovo1
xdotool key Return
aspetta_finestra "TRESKO - CONFERMA" >/dev/null
xdotool key alt+s
aspetta_chiusa "TRESKO - CONFERMA"
sleep 0.2
xdotool type --delay 30 "registro prova"
# Back to the type options, "Grp. Carico", then on to the first loading field.
xdotool key shift+Tab space Return
xdotool type --delay 30 e1
xdotool key alt+c
aspetta_sql "$DATABASE" "SELECT SspDescrizione||'|'||SspCarScar||'|'||SspCodiceDischetto FROM TabellaSerieSemplificata WHERE SspCodice='NUOVO1'" "REGISTRO PROVA|G|E1"
aspetta_sql "$DATABASE" "$testate" 1

# The same code again: change mode, a new description, confirm.
sleep 0.3
xdotool type --delay 30 nuovo1
xdotool key Return
sleep 0.3
xdotool type --delay 30 modificato
xdotool key alt+c
aspetta_sql "$DATABASE" "SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice='NUOVO1'" "MODIFICATO"

# And delete it.
sleep 0.3
xdotool type --delay 30 nuovo1
xdotool key Return
sleep 0.3
xdotool key alt+e
aspetta_finestra "TRESKO - CONFERMA" >/dev/null
xdotool key alt+s
aspetta_sql "$DATABASE" "$registri" 0
aspetta_sql "$DATABASE" "$testate" 0

sleep 0.3
xdotool key alt+u
aspetta_fine "$pid"
[ "$STATO" = 0 ] || fallisci "uscita con stato $STATO"
echo "manutenzione: ok"
