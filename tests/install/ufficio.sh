#!/usr/bin/env bash
# An office's shared data folder set up as the manual page says: the administrator's part as root, the
# clerk's part as an ordinary user of the group with the usual umask; another clerk then saves in the file.
# Arguments: build folder, cmake. Needs root to add the users; skipped (77) otherwise.
set -euo pipefail
build=$1 cmake=$2
[ "$(id -u)" = 0 ] || { echo "serve root per aggiungere gli utenti di prova"; exit 77; }
lavoro=$(mktemp -d)
chmod 755 "$lavoro"
gruppo=pmx-ufficio-$$ primo=pmx-primo-$$ secondo=pmx-secondo-$$
pulisci() {
  userdel "$primo" 2>/dev/null || true
  userdel "$secondo" 2>/dev/null || true
  groupdel "$gruppo" 2>/dev/null || true
  rm -rf "$lavoro"
}
trap pulisci EXIT
fallisci() {
  echo "ERRORE: $*" >&2
  exit 1
}
prefisso="$lavoro/prefisso" dati="$lavoro/srv/dogana"
"$cmake" --install "$build" --prefix "$prefisso" >/dev/null
# A clerk in a login shell of their own: their home, the installed programs first, umask 022.
impiegato() {
  local chi=$1
  shift
  runuser -u "$chi" -- env -i HOME="$lavoro/$chi" PATH="$prefisso/bin:/usr/bin:/bin" sh -ec "umask 022; $*"
}

# The administrator.
groupadd "$gruppo"
for u in "$primo" "$secondo"; do
  useradd -M -d "$lavoro/$u" -s /bin/sh "$u"
  usermod -aG "$gruppo" "$u"
  install -d -o "$u" "$lavoro/$u"
done
install -d -m 2775 -g "$gruppo" "$dati"

# The first clerk: settings from the sample, the company's folder and its demo file.
impiegato "$primo" "mkdir -p ~/.config
  cp '$prefisso/share/doc/pemtarx/examples/Quendrix.ini.esempio' ~/.config/Quendrix.ini
  sed -i 's|^DIRINI=[^\r]*|DIRINI=$dati/|' ~/.config/Quendrix.ini
  mkdir -m 2775 '$dati/DEMO'
  pemtarx-db esempio --ini ~/.config/Quendrix.ini" >/dev/null || fallisci "i passi dell'impiegato non riescono"
file="$dati/DEMO/dogana.mdb"
[ "$(stat -c %G "$file")" = "$gruppo" ] || fallisci "l'archivio non è del gruppo: $(stat -c %G "$file")"
[ $(($(stat -c 0%a "$file") & 0060)) = $((0060)) ] || fallisci "il gruppo non può scrivere l'archivio: $(stat -c %a "$file")"

# The second clerk saves in it, with a journal beside it as every save makes, and checks it.
impiegato "$secondo" "sqlite3 '$file' \"UPDATE TabellaSerieSemplificata SET SspDescrizione = 'DAL SECONDO' WHERE SspCodice = 'SMI'\"" ||
  fallisci "un altro impiegato del gruppo non può salvare"
[ "$(sqlite3 "$file" "SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice = 'SMI'")" = "DAL SECONDO" ] ||
  fallisci "il salvataggio dell'altro impiegato non c'è"
impiegato "$secondo" "pemtarx-db verifica '$file'" >/dev/null || fallisci "la verifica dell'altro impiegato non riesce"

# Outside a shared folder the file stays the clerk's own.
impiegato "$primo" "mkdir -p ~/dogana/X1 && pemtarx-db crea ~/dogana/X1/dogana.mdb" >/dev/null
[ "$(stat -c %a "$lavoro/$primo/dogana/X1/dogana.mdb")" = 644 ] || fallisci "archivio privato aperto al gruppo"
echo "cartella dell'ufficio: ok"
