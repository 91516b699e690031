# Sourced by the end-to-end tests: a private X display, session bus and window manager,
# all stopped by their PIDs when the test ends, whatever happens.
set -euo pipefail
PROCESSI=()
CARTELLA=$(mktemp -d)
SCHERMATE=${SCHERMATE:-$PWD}

chiudi_sessione() {
  local esito=$?
  if [ "$esito" -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
    local nome=${NOME_PROVA:-$(basename "$0" .sh)}
    import -display "$DISPLAY" -window root "$SCHERMATE/$nome-errore.png" 2>/dev/null || true
    echo "schermata: $SCHERMATE/$nome-errore.png" >&2
  fi
  for ((i = ${#PROCESSI[@]} - 1; i >= 0; i--)); do kill "${PROCESSI[i]}" 2>/dev/null || true; done
  for p in "${PROCESSI[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$CARTELLA"
  exit "$esito"
}
trap chiudi_sessione EXIT

avvia_sessione() {
  local fifo="$CARTELLA/display"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${SCHERMO:-1280x1024}x24" -nolisten tcp 3>"$fifo" 2>/dev/null &
  PROCESSI+=($!)
  local numero
  read -r -t 20 numero <"$fifo"
  export DISPLAY=":$numero"
  local bus
  bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
  export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
  PROCESSI+=("$(echo "$bus" | sed -n 2p)")
  openbox --sm-disable >/dev/null 2>&1 &
  PROCESSI+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  unset QT_QPA_PLATFORM
  export QT_QPA_PLATFORM=xcb
}

# Waits for a window whose title contains the text; prints its id.
aspetta_finestra() {
  timeout "${2:-20}" xdotool search --sync --name "$1" | head -n 1
}

# Waits until no window has that title.
aspetta_chiusa() {
  for _ in $(seq "${2:-100}"); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "la finestra '$1' non si chiude" >&2
  return 1
}

# Waits for a process of this shell to end and leaves its exit status in STATO.
aspetta_fine() {
  local pid=$1
  for _ in $(seq "${2:-100}"); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "il programma non termina" >&2
    return 1
  fi
  STATO=0
  wait "$pid" || STATO=$?
}

# Polls an SQL query on a database file until it gives the expected text.
aspetta_sql() {
  local file=$1 sql=$2 atteso=$3 valore=""
  for _ in $(seq 100); do
    valore=$(sqlite3 "$file" "$sql" 2>/dev/null || true)
    [ "$valore" = "$atteso" ] && return 0
    sleep 0.1
  done
  echo "atteso '$atteso' da: $sql; ottenuto '$valore'" >&2
  return 1
}

# A copy of the program with its own settings file beside it and a company made by the tool.
prepara_programma() {
  local pemtarx=$1 pemtarxdb=$2 ditta=$3
  PROGRAMMA="$CARTELLA/prog"
  mkdir -p "$PROGRAMMA" "$CARTELLA/dati/$ditta"
  cp "$pemtarx" "$PROGRAMMA/pemtarx"
  printf '[BASE]\r\nDITTA=%s\r\n[PATH]\r\nDIRINI=%s/\r\n' "$ditta" "$CARTELLA/dati" >"$PROGRAMMA/Quendrix.ini"
  DATABASE="$CARTELLA/dati/$ditta/dogana.mdb"
  "$pemtarxdb" crea "$DATABASE" >/dev/null
}

fallisci() {
  echo "ERRORE: $*" >&2
  exit 1
}
