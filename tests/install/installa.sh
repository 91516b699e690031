#!/usr/bin/env bash
# The installed tree and the Debian package; the installed program under Xvfb; as root, an office's shared folder
# set up as the manual page says. Arguments: build folder, cmake, cpack, project version.
source "$(dirname "$0")/../e2e/sessione.sh"
build=$1 cmake=$2 cpack=$3 versione=$4 p=$CARTELLA/prefisso
"$cmake" --install "$build" --prefix "$p" >/dev/null
attesi="bin/pemtarx
bin/pemtarx-db
share/applications/pemtarx.desktop
share/doc/pemtarx/changelog.gz
share/doc/pemtarx/copyright
share/doc/pemtarx/examples/Quendrix.ini.esempio
share/icons/hicolor/scalable/apps/pemtarx.svg
share/lintian/overrides/pemtarx
share/man/man1/pemtarx-db.1.gz
share/man/man1/pemtarx.1.gz
share/metainfo/org.example.pemtarx.metainfo.xml"
[ "$(cd "$p" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)" = "$attesi" ] || fallisci "file installati"
# Every command the tool lists in its help is named in the software centres' and the package's descriptions.
comandi=$("$p/bin/pemtarx-db" --help | sed -n '/^COMANDI:/,/^$/s/^  \([a-z]\+\) .*/\1/p')
[ "$(wc -w <<<"$comandi")" -ge 5 ] || fallisci "comandi di pemtarx-db non trovati nell'aiuto: $comandi"
voce=$p/share/applications/pemtarx.desktop info=$p/share/metainfo/org.example.pemtarx.metainfo.xml
desktop-file-validate "$voce" && appstreamcli validate --no-net "$info" >/dev/null || fallisci "menu o metainfo non validi"
grep -qx Exec=pemtarx "$voce" && grep -qx Icon=pemtarx "$voce" || fallisci "il menu non avvia pemtarx con la sua icona"
rsvg-convert -w 48 "$p/share/icons/hicolor/scalable/apps/pemtarx.svg" -o "$CARTELLA/i.png" || fallisci "icona guasta"
for m in pemtarx pemtarx-db; do
  testo=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$p/share/man/man1/$m.1.gz" 2>/dev/null)
  grep -q 'pemtarx-db crea' <<<"$testo" && grep -q Quendrix.ini <<<"$testo" || fallisci "$m.1 non spiega crea e Quendrix.ini"
done
# The sample as the program writes a new settings file: Windows-1252 and CRLF.
esempio=$p/share/doc/pemtarx/examples/Quendrix.ini.esempio
[ "$(tr -d '\r' <"$esempio" | grep -cE '^(\[BASE\]|DITTA=.*|\[PATH\]|DIRINI=.*/)$')" = 4 ] || fallisci "esempio incompleto"
[ "$(grep -c $'\r$' "$esempio")" = "$(wc -l <"$esempio")" ] && ! iconv -f UTF-8 -t UTF-8 "$esempio" >/dev/null 2>&1 ||
  fallisci "Quendrix.ini.esempio non in CRLF e Windows-1252"
[[ $(zcat "$p/share/doc/pemtarx/changelog.gz" | head -n 1) == "pemtarx ($versione) "* ]] || fallisci "changelog senza $versione"
(cd "$CARTELLA" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$CARTELLA/deb" >/dev/null) || fallisci "cpack"
deb=$CARTELLA/deb/pemtarx_${versione}_$(dpkg --print-architecture).deb
[ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)" = "$attesi" ] ||
  fallisci "contenuto del pacchetto"
descrizione=$(dpkg-deb -f "$deb" Description) dipende=$(dpkg-deb -f "$deb" Depends)
for c in $comandi; do
  grep -q "<li>$c: " "$info" && grep -qw "$c" <<<"$descrizione" || fallisci "pemtarx-db $c non descritto"
done
# The shared libraries come from shlibdeps, with versions; the plugins Qt loads at run time are named by hand.
for d in 'libqt6core6 (>= ' libqt6sql6-sqlite qt6-qpa-plugins; do
  grep -qF "$d" <<<"$dipende" || fallisci "Depends senza $d: $dipende"
done
lintian --fail-on warning "$deb" || fallisci "lintian segnala avvisi"

# The installed program, with no settings file beside it, opens the company its settings in XDG_CONFIG_HOME name.
export XDG_CONFIG_HOME=$CARTELLA/config
mkdir -p "$XDG_CONFIG_HOME" "$CARTELLA/dati/DEMO"
avvia_sessione
"$p/bin/pemtarx-db" esempio "$CARTELLA/dati/DEMO/dogana.mdb" >/dev/null
printf '[BASE]\r\nDITTA=DEMO\r\n[PATH]\r\nDIRINI=%s/\r\n' "$CARTELLA/dati" >"$XDG_CONFIG_HOME/Quendrix.ini"
"$p/bin/pemtarx" &
[ -n "$(aspetta_finestra "GESTIONE REGISTRI PER PROCEDURE SEMPLIFICATE EXPORT")" ] || fallisci "la finestra non appare"
! xdotool search --onlyvisible --name "TRESKO - ERRORE" >/dev/null 2>&1 || fallisci "errore sulla società DEMO"
xdotool key alt+u
aspetta_fine $! && [ "$STATO" = 0 ] || fallisci "uscita con stato $STATO"

# The administrator's part as root, each clerk's as an ordinary user of the group with the usual umask.
[ "$(id -u)" = 0 ] || { echo "cartella dell'ufficio non provata: serve root per aggiungere gli utenti"; exit 0; }
g=pmx-ufficio-$$ primo=pmx-primo-$$ secondo=pmx-secondo-$$ dati=$CARTELLA/srv/dogana
trap 'e=$?; userdel "$primo"; userdel "$secondo"; groupdel "$g"; (exit $e); chiudi_sessione' EXIT
chmod 755 "$CARTELLA"
groupadd "$g"
for u in "$primo" "$secondo"; do useradd -M -d "$CARTELLA/$u" -s /bin/sh -G "$g" "$u" && install -d -o "$u" "$CARTELLA/$u"; done
install -d -m 2775 -g "$g" "$dati"
impiegato() { runuser -u "$1" -- env -i HOME="$CARTELLA/$1" PATH="$p/bin:/usr/bin:/bin" sh -ec "umask 022; $2"; }
impiegato "$primo" "mkdir -p ~/.config && sed 's|^DIRINI=[^\r]*|DIRINI=$dati/|' '$esempio' >~/.config/Quendrix.ini
  mkdir -m 2775 '$dati/DEMO' && pemtarx-db esempio --ini ~/.config/Quendrix.ini" >/dev/null || fallisci "passi del primo"
file=$dati/DEMO/dogana.mdb
[ "$(stat -c %G "$file")" = "$g" ] && [ $((0$(stat -c %a "$file") & 060)) = 48 ] || fallisci "archivio non del gruppo"
# Another clerk saves in it, with a journal beside it as every save makes, and checks it.
impiegato "$secondo" "sqlite3 '$file' \"UPDATE TabellaSerieSemplificata SET SspDescrizione = 'DAL 2' WHERE SspCodice = 'SMI'\"
  pemtarx-db verifica '$file'" >/dev/null || fallisci "un altro impiegato del gruppo non può salvare"
[ "$(sqlite3 "$file" "SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice = 'SMI'")" = "DAL 2" ] ||
  fallisci "il salvataggio dell'altro impiegato non c'è"
# Outside a shared folder the file stays the clerk's own.
impiegato "$primo" "mkdir ~/X1 && pemtarx-db crea ~/X1/dogana.mdb" >/dev/null
[ "$(stat -c %a "$CARTELLA/$primo/X1/dogana.mdb")" = 644 ] || fallisci "archivio privato aperto al gruppo"
echo "installazione: ok"
