#!/usr/bin/env bash
# Runs the scenarios of one table file against the real program, each in a fresh X session.
#   scenari.sh PEMTARX PEMTARX-DB TABELLA.tab [PARTE]   (PARTE: only scenarios whose name contains it)
#
# A row is one scenario: four fields separated by one or more TABs; a line ending in "\" goes on in
# the next, indented with spaces (a TAB always separates fields); "#" lines and empty lines are skipped.
#   name <TAB> company <TAB> steps <TAB> checks
# company: "vuota" (a company file without registers), "esempio" (the demo registers) or "nessuna"
#   (DITTA names no company), optionally followed by " schermo=WxH" (default 1280x1024).
# steps, then checks: bash command lists of the verbs below; the first that fails fails the scenario
# and leaves a screenshot NAME-errore.png. Any other command works too (setxkbmap, xmodmap...).
#   avvia [ARG...]          starts the program, waits for its window;  lancia [ARG...]  only starts it
#   scrivi TESTO            types through the keymap;  tasti TASTO...  xdotool key names (alt+c, ctrl+alt+F2)
#   finestra TITOLO         waits for a window whose title contains TITOLO;  chiusa TITOLO  until none has
#   assente TITOLO [S]      no such window within S seconds (1.5);  pausa S
#   imposta SEZ CHIAVE VAL  adds a section with one key to the settings file (before avvia)
#   sql QUERY ATTESO        polls the company's database file until the query gives ATTESO
#   ini SEZ CHIAVE ATTESO   the settings file's value
#   testo NOME ATTESO       polls the AT-SPI text of the shown control whose accessible name is NOME
#   fuoco NOME              polls until the focused control's accessible name is NOME
#   premi NOME BOTTONE [via]  mouse BOTTONE down on control NOME, up there or, with "via", 100 px right
#   doppio NOME             double click on the first line of control NOME
#   asinistra NOME1 NOME2   control NOME1 is shown left of control NOME2
#   geometria TITOLO WxH    the size of the window with that title
#   fermo NOME              control NOME has the place and size it had at the scenario's first "fermo NOME"
#   entro NOME              control NOME lies wholly inside the screen
#   attiva TITOLO [no]      activates that window, or with "no" polls until it is the active one
#   titolo ATTESO           the main window's whole title
#   esce STATO              waits for the program to end with exit status STATO;  vivo  it still runs
# Also at hand: $DATABASE (the company's file), $PROGRAMMA (the program's folder, Quendrix.ini beside it),
# $CARTELLA (the scenario's scratch folder), $SVEGLIA (a test alarm clock), $finestraPrincipale, $PID.
# Keys travel through XTEST and the server's keymap, as a clerk's do; the access keys of buttons
# click about 100 ms later, so every check polls.
set -uo pipefail
PEMTARX=$1
PEMTARXDB=$2
TABELLA=$3
PARTE=${4:-}
QUI=$(cd "$(dirname "$0")" && pwd)
finestraPrincipale="GESTIONE REGISTRI PER PROCEDURE"

lancia() {
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$PROGRAMMA/pemtarx" "$@" &
  PID=$!
  PROCESSI+=("$PID")
}

avvia() {
  lancia "$@"
  [ -n "$(aspetta_finestra "$finestraPrincipale")" ] || fallisci "la finestra non appare"
  sleep 0.5
}

scrivi() { xdotool type --delay 40 "$1"; }
tasti() { xdotool key --delay 100 "$@"; sleep 0.1; }
pausa() { sleep "$1"; }
finestra() { [ -n "$(aspetta_finestra "$1")" ] || fallisci "nessuna finestra '$1'"; sleep 0.2; }
chiusa() { aspetta_chiusa "$1"; }

assente() {
  for _ in $(seq "$(echo "${2:-1.5} * 10 / 1" | bc)"); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && fallisci "la finestra '$1' è apparsa"
    sleep 0.1
  done
  return 0
}

imposta() { printf '[%s]\r\n%s=%s\r\n' "$1" "$2" "$3" >>"$PROGRAMMA/Quendrix.ini"; }
sql() { aspetta_sql "$DATABASE" "$1" "$2"; }

ini() {
  local valore
  valore=$(tr -d '\r' <"$PROGRAMMA/Quendrix.ini" |
    awk -v s="[$1]" -v k="$2" 'BEGIN { IGNORECASE = 1 } /^\[/ { dentro = tolower($0) == tolower(s); next }
      dentro && tolower(substr($0, 1, length(k) + 1)) == tolower(k "=") { print substr($0, length(k) + 2); exit }')
  [ "$valore" = "$3" ] || fallisci "[$1] $2: atteso '$3', trovato '$valore'"
}

# Polls a reading of the accessibility tree until it gives the expected text.
aspetta_atspi() {
  local atteso=$1 valore=""
  shift
  for _ in $(seq 30); do
    valore=$(/usr/bin/python3 "$QUI/atspi.py" "$@" 2>/dev/null || true)
    [ "$valore" = "$atteso" ] && return 0
    sleep 0.2
  done
  fallisci "$*: atteso '$atteso', ottenuto '$valore'"
}

testo() { aspetta_atspi "$2" testo "$1"; }
fuoco() { aspetta_atspi "$1" fuoco; }

# Polls the screen extent of control NAME into x, y, w and h.
estensione() {
  h=""
  for _ in $(seq 30); do
    read -r x y w h < <(/usr/bin/python3 "$QUI/atspi.py" estensione "$1" 2>/dev/null) && break
    sleep 0.2
  done
  [ -n "${h:-}" ] || fallisci "'$1' non si vede"
}

premi() {
  local x y w h
  estensione "$1"
  xdotool mousemove "$((x + w / 2))" "$((y + h / 2))" mousedown "$2"
  sleep 0.2
  [ "${3:-}" = via ] && xdotool mousemove "$((x + w + 100))" "$((y + h / 2))" && sleep 0.2
  xdotool mouseup "$2"
  sleep 0.3
}

doppio() {
  local x y w h
  estensione "$1"
  xdotool mousemove "$((x + w / 4))" "$((y + 8))" click --repeat 2 --delay 80 1
  sleep 0.3
}

asinistra() {
  local x1 x2
  x1=$(/usr/bin/python3 "$QUI/atspi.py" estensione "$1" | cut -d' ' -f1)
  x2=$(/usr/bin/python3 "$QUI/atspi.py" estensione "$2" | cut -d' ' -f1)
  [ -n "$x1" ] && [ -n "$x2" ] && [ "$x1" -lt "$x2" ] || fallisci "'$1' ($x1) non è a sinistra di '$2' ($x2)"
}

geometria() {
  local id dimensione
  id=$(aspetta_finestra "$1")
  dimensione=$(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: //p')
  [ "$dimensione" = "$2" ] || fallisci "'$1' misura $dimensione, non $2"
}

fermo() {
  local e chiave="FERMO_$(echo "$1" | tr -c 'A-Za-z0-9\n' _)"
  e=$(/usr/bin/python3 "$QUI/atspi.py" estensione "$1") || fallisci "'$1' non si vede"
  [ -z "${!chiave:-}" ] && printf -v "$chiave" '%s' "$e" && return 0
  [ "${!chiave}" = "$e" ] || fallisci "'$1' era a ${!chiave}, ora è a $e"
}

entro() {
  local x y w h larghezza altezza
  read -r x y w h < <(/usr/bin/python3 "$QUI/atspi.py" estensione "$1") || fallisci "'$1' non si vede"
  read -r larghezza altezza < <(xdotool getdisplaygeometry)
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$larghezza" ] && [ $((y + h)) -le "$altezza" ] ||
    fallisci "'$1' ($x,$y ${w}x$h) esce dallo schermo ${larghezza}x$altezza"
}

esce() {
  aspetta_fine "$PID"
  [ "$STATO" = "$1" ] || fallisci "uscita con stato $STATO, non $1"
}

attiva() {
  local id
  id=$(aspetta_finestra "$1")
  if [ "${2:-}" != no ]; then
    xdotool windowactivate --sync "$id"
    sleep 0.3
    return 0
  fi
  for _ in $(seq 50); do
    [ "$(xdotool getactivewindow)" = "$id" ] && return 0
    sleep 0.1
  done
  fallisci "'$1' non è in primo piano"
}

titolo() {
  local attuale
  attuale=$(xdotool getwindowname "$(aspetta_finestra "$finestraPrincipale")")
  [ "$attuale" = "$1" ] || fallisci "titolo '$attuale', non '$1'"
}

vivo() { kill -0 "$PID" 2>/dev/null || fallisci "il programma è terminato"; }

scenario() {
  local nome=$1 ditta=$2 passi=$3 verifiche=$4
  NOME_PROVA=$nome
  local opzione
  for opzione in $ditta; do
    case $opzione in schermo=*) SCHERMO=${opzione#schermo=} ;; esac
  done
  source "$QUI/sessione.sh"
  avvia_sessione
  prepara_programma "$PEMTARX" "$PEMTARXDB" E2E
  case $ditta in
  esempio*) rm -f "$DATABASE" && "$PEMTARXDB" esempio "$DATABASE" >/dev/null ;;
  nessuna*) sed -i 's/DITTA=E2E/DITTA=NESSUNA/' "$PROGRAMMA/Quendrix.ini" ;;
  esac
  PID=""
  eval "$passi"
  eval "$verifiche"
}

falliti=()
riga=""
while IFS= read -r linea || [ -n "$linea" ]; do
  if [[ $linea == *\\ ]]; then
    riga+="${linea%\\}"
    continue
  fi
  riga+=$linea
  [[ -z ${riga//[[:space:]]/} || $riga == \#* ]] && riga="" && continue
  IFS=$'\t' read -r nome ditta passi verifiche <<<"$riga"
  riga=""
  [[ -n $PARTE && $nome != *"$PARTE"* ]] && continue
  (scenario "$nome" "$ditta" "$passi" "${verifiche:-}")
  if [ $? -eq 0 ]; then
    echo "ok: $nome"
  else
    echo "FALLITO: $nome"
    falliti+=("$nome")
  fi
done <"$TABELLA"
[ ${#falliti[@]} -eq 0 ] || { echo "falliti: ${falliti[*]}" >&2; exit 1; }
