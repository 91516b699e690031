#!/usr/bin/env bash
# Ctrl+Shift+S starts the alarm clock for the company and then brings it forward without a
# second copy; F2 ends the program through its exit button with status 0.
source "$(dirname "$0")/sessione.sh"
avvia_sessione
prepara_programma "$1" "$2" E2E
contatore="$CARTELLA/avvii"
# Started through a launcher that hands its process over with exec, as Linux desktops do.
printf '#!/bin/sh\nexec "%s" "$@"\n' "$3" >"$CARTELLA/zevedez" && chmod +x "$CARTELLA/zevedez"
printf '[APPLICATIVI]\r\nZevedez=%s %s\r\n' "$CARTELLA/zevedez" "$contatore" >>"$PROGRAMMA/Quendrix.ini"
sorella=""
ferma_sorella() { [ -n "$sorella" ] && kill "$sorella" 2>/dev/null || true; }

"$PROGRAMMA/pemtarx" &
pid=$!
principale=$(aspetta_finestra "GESTIONE REGISTRI PER PROCEDURE")
xdotool windowactivate --sync "$principale"
sleep 0.3
xdotool key ctrl+shift+s
sveglia=$(aspetta_finestra "Zevedez prova")
sorella=$(cut -f1 "$contatore" | head -n 1)
PROCESSI+=("$sorella")
[ "$(wc -l <"$contatore")" = 1 ] || fallisci "avvii: $(wc -l <"$contatore")"
grep -q "^HANDLE= $sorella"$'\r'"\$" "$PROGRAMMA/Quendrix.ini" || fallisci "HANDLE non scritto: $(cat "$PROGRAMMA/Quendrix.ini")"
grep -qi "^DITTA=E2E" <(sed -n '/^\[Zevedez\]/,/^\[/p' "$PROGRAMMA/Quendrix.ini" | tr -d '\r') || fallisci "DITTA non scritta"

xdotool windowactivate --sync "$principale"
sleep 0.3
xdotool key ctrl+shift+s
for _ in $(seq 50); do
  attiva=$(xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //')
  [ "$((attiva))" = "$sveglia" ] && break
  sleep 0.1
done
[ "$((attiva))" = "$sveglia" ] || fallisci "la sveglia non è in primo piano ($attiva, atteso $sveglia)"
[ "$(wc -l <"$contatore")" = 1 ] || fallisci "avviata una seconda copia"

xdotool windowactivate --sync "$principale"
sleep 0.3
xdotool key F2
aspetta_fine "$pid"
[ "$STATO" = 0 ] || fallisci "uscita con stato $STATO"
ferma_sorella
echo "suite: ok"
