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
  local fifo="$CARTELLA/display" numero indirizzo pid
  mkfifo "$fifo"
  # -noreset: a probe that disconnects first must not reset the server under the window manager's connection.
  Xvfb -displayfd 3 -noreset -screen 0 "${SCHERMO:-1280x1024}x24" -nolisten tcp 3>"$fifo" 2>/dev/null &
  PROCESSI+=($!)
  read -r -t 20 numero <"$fifo"
  export DISPLAY=":$numero"
  { read -r indirizzo && read -r pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
  export DBUS_SESSION_BUS_ADDRESS=$indirizzo
  PROCESSI+=("$pid")
  openbox --sm-disable >/dev/null 2>&1 &
  PROCESSI+=($!)
  ripeti 100 gestore || fallisci "il gestore delle finestre non parte"
  export QT_QPA_PLATFORM=xcb
  # The window's remembered size stays in the session, or in the folder its caller shares between sessions.
  export XDG_CACHE_HOME=${CACHE_CONDIVISA:-$CARTELLA/cache}
}

# Waits for a window whose title contains the text; prints its id.
aspetta_finestra() {
  timeout "${2:-20}" xdotool search --sync --name "$1" | head -n 1
}

# Runs a command up to N times, 0.1 s apart, until it succeeds.
ripeti() {
  local volte=$1
  shift
  for _ in $(seq "$volte"); do "$@" && return 0; sleep 0.1; done
  return 1
}

gestore() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
finito() { ! kill -0 "$1" 2>/dev/null; }

# Waits for a process of this shell to end and leaves its exit status in STATO.
aspetta_fine() {
  ripeti 100 finito "$1" || { echo "il programma non termina" >&2; return 1; }
  STATO=0
  wait "$1" || STATO=$?
}

fallisci() {
  echo "ERRORE: $*" >&2
  exit 1
}
