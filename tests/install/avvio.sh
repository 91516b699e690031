#!/usr/bin/env bash
# The installed program under Xvfb: with no settings file anywhere it shows the missing-company box;
# with a Quendrix.ini in XDG_CONFIG_HOME it opens the demo company made by the installed tool.
# Arguments: build folder, cmake.
source "$(dirname "$0")/../e2e/sessione.sh"
build=$1 cmake=$2
prefisso="$CARTELLA/prefisso"
"$cmake" --install "$build" --prefix "$prefisso" >/dev/null
[ ! -e "$prefisso/bin/Quendrix.ini" ] || fallisci "Quendrix.ini accanto al programma installato"
export XDG_CONFIG_HOME="$CARTELLA/config"
mkdir -p "$XDG_CONFIG_HOME"
avvia_sessione

"$prefisso/bin/pemtarx" &
pid=$!
errore=$(aspetta_finestra "TRESKO - ERRORE") && [ -n "$errore" ] ||
  fallisci "senza impostazioni non appare SOCIETA' INESISTENTE"
# A key sent before the window manager gives the box the focus is lost.
timeout 10 xdotool windowactivate --sync "$errore" >/dev/null 2>&1 || true
xdotool search --onlyvisible --name "GESTIONE REGISTRI" >/dev/null 2>&1 && fallisci "la finestra non doveva apparire"
xdotool key Escape
aspetta_fine "$pid"
[ "$STATO" = 0 ] || fallisci "uscita con stato $STATO dopo SOCIETA' INESISTENTE"

mkdir -p "$CARTELLA/dati/DEMO"
"$prefisso/bin/pemtarx-db" esempio "$CARTELLA/dati/DEMO/dogana.mdb" >/dev/null
printf '[BASE]\r\nDITTA=DEMO\r\n[PATH]\r\nDIRINI=%s/\r\n' "$CARTELLA/dati" >"$XDG_CONFIG_HOME/Quendrix.ini"
"$prefisso/bin/pemtarx" &
pid=$!
finestra=$(aspetta_finestra "GESTIONE REGISTRI PER PROCEDURE SEMPLIFICATE EXPORT") ||
  fallisci "la finestra del programma installato non appare"
[[ $(xdotool getwindowname "$finestra") == *"GESTIONE REGISTRI PER PROCEDURE SEMPLIFICATE EXPORT"* ]] ||
  fallisci "titolo inatteso"
xdotool search --onlyvisible --name "TRESKO - ERRORE" >/dev/null 2>&1 && fallisci "messaggio d'errore sulla società DEMO"
xdotool key alt+u
aspetta_fine "$pid"
[ "$STATO" = 0 ] || fallisci "uscita con stato $STATO"
echo "programma installato: ok"
