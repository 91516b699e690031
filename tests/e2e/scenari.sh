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
#   descrizione CODICE ATTESO  the same for the description of the register CODICE;  quanti CODICE R|T  its rows
#   apri CODICE             types the code and Enter
#   ini SEZ CHIAVE ATTESO   the settings file's value
#   testo NOME ATTESO       polls the AT-SPI text of the shown control whose accessible name is NOME
#   fuoco NOME              polls until the focused control's accessible name is NOME
#   premi NOME BOTTONE [via]  mouse BOTTONE down on control NOME, up there or, with "via", 100 px right
#   doppio NOME             double click on the first line of control NOME
#   asinistra NOME1 NOME2   control NOME1 is shown left of control NOME2
#   fermo NOME              control NOME has the place and size it had at the scenario's first "fermo NOME"
#   entro NOME              control NOME lies wholly inside the screen
#   attiva TITOLO [no]      activates that window, or with "no" polls until it is the active one
#   titolo ATTESO           the main window's whole title
#   esce STATO              waits for the program to end with exit status STATO;  vivo  it still runs
#   messaggio INIZIO        polls until the message box shown says a text beginning with INIZIO, lines joined by "|"
#   conferma [LETTERA]      answers the "TRESKO - CONFERMA" box with Alt+LETTERA (s) and waits until it closes
#   registri VALORI         inserts registers, VALORI being SQL rows (code, description, kind);  riempi N  R00001..
#   protetto PERCORSO       takes the write permission away, from a root program too (it then runs under setpriv)
#   altro SQL               another clerk runs SQL on the company's file;  blocca SQL  and his session stays open
#   nascosto NOME           control NOME is not shown
# Also at hand: $DATABASE (the company's file), $PROGRAMMA (the program's folder, Quendrix.ini beside it),
# $CARTELLA (the scenario's scratch folder), $SVEGLIA (a test alarm clock), $finestraPrincipale, $PID, and the
# names of two fields, $gruppo and $meccanografico.
# Keys travel through XTEST and the server's keymap, as a clerk's do; the access keys of buttons
# click about 100 ms later, so every check polls.
set -uo pipefail
PEMTARX=$1
PEMTARXDB=$2
TABELLA=$3
PARTE=${4:-}
QUI=$(cd "$(dirname "$0")" && pwd)
finestraPrincipale="GESTIONE REGISTRI PER PROCEDURE"
gruppo="o Gruppo di Carico con numerazione unica"
meccanografico="Autorizzazione P.S.: cod. meccanografico"

lancia() {
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "${LANCIATORE[@]}" "$PROGRAMMA/pemtarx" "$@" &
  PID=$! && PROCESSI+=("$PID")
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
sparita() { ! xdotool getwindowname "$1" >/dev/null 2>&1; }
conferma() {
  local id
  id=$(aspetta_finestra "TRESKO - CONFERMA") && [ -n "$id" ] && sleep 0.2 && tasti "alt+${1:-s}" || fallisci "nessuna conferma"
  ripeti 100 sparita "$id" || fallisci "la conferma non si chiude"
}
imposta() { printf '[%s]\r\n%s=%s\r\n' "$1" "$2" "$3" >>"$PROGRAMMA/Quendrix.ini"; }
vivo() { kill -0 "$PID" 2>/dev/null || fallisci "il programma è terminato"; }

# The output of a command, left in $valore, is ATTESO.
uguale() { valore=$("${@:2}" 2>/dev/null); [ "$valore" = "$1" ]; }

visibile() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
nessuna() { ! visibile "$1"; }
chiusa() { ripeti 100 nessuna "$1" || fallisci "la finestra '$1' non si chiude"; }
assente() { ! ripeti "$(echo "${2:-1.5} * 10 / 1" | bc)" visibile "$1" || fallisci "la finestra '$1' è apparsa"; }
sql() { ripeti 100 uguale "$2" sqlite3 "$DATABASE" "$1" || fallisci "atteso '$2' da: $1; ottenuto '$valore'"; }
apri() { scrivi "$1"; tasti Return; sleep 0.3; }
quanti() { sql "SELECT (SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCodice = '$1') || '|' ||
  (SELECT COUNT(*) FROM TestataRegistriPS WHERE TpsCodice = '$1')" "$2"; }
descrizione() { sql "SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice = '$1'" "$2"; }
altro() { sqlite3 "$DATABASE" "$1"; }
registri() { sqlite3 "$DATABASE" "INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar) VALUES $1"; }
riempi() { registri "$(seq -f "('R%05g', 'REGISTRO', 'S')" "$1" | paste -sd,)"; }

protetto() {
  chmod a-w "$1"
  [ "$(id -u)" != 0 ] || LANCIATORE=(setpriv --bounding-set=-dac_override,-dac_read_search,-fowner --)
}

blocca() {
  coproc ALTRO { exec sqlite3 "$DATABASE" >/dev/null 2>&1; }
  PROCESSI+=("$ALTRO_PID")
  echo "$1" >&"${ALTRO[1]}" && sleep 0.5
}

leggi_ini() { tr -d '\r' <"$PROGRAMMA/Quendrix.ini" | sed -n "/^\[$1\]$/I,/^\[/s/^$2=//Ip" | head -n 1; }
ini() { uguale "$3" leggi_ini "$1" "$2" || fallisci "[$1] $2: atteso '$3', trovato '$valore'"; }

atspi() { /usr/bin/python3 "$QUI/atspi.py" "$@"; }
# Polls a reading of the accessibility tree until it gives ATTESO.
aspetta_atspi() { ripeti 30 uguale "$1" atspi "${@:2}" || fallisci "${*:2}: atteso '$1', ottenuto '$valore'"; }
testo() { aspetta_atspi "$2" testo "$1"; }
messaggio() { aspetta_atspi "$1" messaggio "$1"; }
fuoco() { aspetta_atspi "$1" fuoco; }
nascosto() { ! atspi testo "$1" >/dev/null 2>&1 || fallisci "'$1' si vede"; }

# Polls the screen extent of control NOME into x, y, w and h.
leggi() { read -r x y w h < <(atspi estensione "$1" 2>/dev/null); }
posto() { ripeti 30 leggi "$1" || fallisci "'$1' non si vede"; }

premi() {
  posto "$1"
  xdotool mousemove "$((x + w / 2))" "$((y + h / 2))" mousedown "$2"
  sleep 0.2
  [ "${3:-}" = via ] && xdotool mousemove "$((x + w + 100))" "$((y + h / 2))" && sleep 0.2
  xdotool mouseup "$2"
  sleep 0.3
}

doppio() { posto "$1" && xdotool mousemove "$((x + w / 4))" "$((y + 8))" click --repeat 2 --delay 80 1 && sleep 0.3; }

asinistra() {
  posto "$2"
  local x2=$x
  posto "$1"
  [ "$x" -lt "$x2" ] || fallisci "'$1' ($x) non è a sinistra di '$2' ($x2)"
}

fermo() {
  local chiave="FERMO_$(echo "$1" | tr -c 'A-Za-z0-9\n' _)"
  posto "$1"
  [ -z "${!chiave:-}" ] && printf -v "$chiave" '%s' "$x $y $w $h" && return 0
  [ "${!chiave}" = "$x $y $w $h" ] || fallisci "'$1' era a ${!chiave}, ora è a $x $y $w $h"
}

entro() {
  local larghezza altezza
  posto "$1"
  read -r larghezza altezza < <(xdotool getdisplaygeometry)
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$larghezza" ] && [ $((y + h)) -le "$altezza" ] ||
    fallisci "'$1' ($x,$y ${w}x$h) esce dallo schermo ${larghezza}x$altezza"
}

esce() { aspetta_fine "$PID" && [ "$STATO" = "$1" ] || fallisci "uscita con stato ${STATO:-?}, non $1"; }

attiva() {
  local id
  id=$(aspetta_finestra "$1")
  [ "${2:-}" = no ] || { xdotool windowactivate --sync "$id"; sleep 0.3; return 0; }
  ripeti 50 uguale "$id" xdotool getactivewindow || fallisci "'$1' non è in primo piano"
}

titolo() { uguale "$1" xdotool getwindowname "$(aspetta_finestra "$finestraPrincipale")" || fallisci "titolo '$valore', non '$1'"; }

scenario() {
  local nome=$1 ditta=$2 passi=$3 verifiche=$4
  NOME_PROVA=$nome
  [[ $ditta == *schermo=* ]] && SCHERMO=${ditta#*schermo=}
  source "$QUI/sessione.sh"
  avvia_sessione
  PROGRAMMA="$CARTELLA/prog"
  DATABASE="$CARTELLA/dati/E2E/dogana.mdb"
  mkdir -p "$PROGRAMMA" "$CARTELLA/dati/E2E"
  cp "$PEMTARX" "$PROGRAMMA/pemtarx"
  printf '[BASE]\r\nDITTA=E2E\r\n[PATH]\r\nDIRINI=%s/\r\n' "$CARTELLA/dati" >"$PROGRAMMA/Quendrix.ini"
  "$PEMTARXDB" crea "$DATABASE" >/dev/null
  case $ditta in
  esempio*) rm -f "$DATABASE" && "$PEMTARXDB" esempio "$DATABASE" >/dev/null ;;
  nessuna*) sed -i 's/DITTA=E2E/DITTA=NESSUNA/' "$PROGRAMMA/Quendrix.ini" ;;
  esac
  PID=""
  LANCIATORE=()
  eval "$passi"
  eval "$verifiche"
}

# One cache for the table: its first start measures the window, every later one starts from the size kept.
CACHE_CONDIVISA=$(mktemp -d)
export CACHE_CONDIVISA
trap 'rm -rf "$CACHE_CONDIVISA"' EXIT
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
  (scenario "$nome" "$ditta" "$passi" "${verifiche:-}") </dev/null
  if [ $? -eq 0 ]; then
    echo "ok: $nome"
  else
    echo "FALLITO: $nome"
    falliti+=("$nome")
  fi
done <"$TABELLA"
[ ${#falliti[@]} -eq 0 ] || { echo "falliti: ${falliti[*]}" >&2; exit 1; }
