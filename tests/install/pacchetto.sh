#!/usr/bin/env bash
# Installs into a temporary prefix and checks every file, then builds the Debian package into a
# temporary folder and checks its contents, its control fields and lintian's verdict.
# Arguments: build folder, cmake, cpack, project version.
set -euo pipefail
build=$1 cmake=$2 cpack=$3 versione=$4
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
fallisci() {
  echo "ERRORE: $*" >&2
  exit 1
}

# Every file the install rules put down, relative to the prefix.
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

# ---- the installed tree
p="$lavoro/prefisso"
"$cmake" --install "$build" --prefix "$p" >/dev/null
trovati=$(cd "$p" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$trovati" = "$attesi" ] || fallisci "file installati diversi dagli attesi:
$(diff <(echo "$attesi") <(echo "$trovati") || true)"

for b in pemtarx pemtarx-db; do
  [ -x "$p/bin/$b" ] || fallisci "$b non eseguibile"
  file -b "$p/bin/$b" | grep -q '^ELF .*executable' || fallisci "$b non è un eseguibile ELF"
  # A search path into the build folder would make the installed copy depend on it.
  ! readelf -d "$p/bin/$b" | grep -Eq 'RPATH|RUNPATH' || fallisci "$b ha un RPATH/RUNPATH"
done
"$p/bin/pemtarx-db" --help | grep -q '^USO: pemtarx-db' || fallisci "pemtarx-db --help non risponde"
# Every command the tool lists in its help, to be named in the package's and the software centres' descriptions.
comandi=$("$p/bin/pemtarx-db" --help | sed -n '/^COMANDI:/,/^$/p' | sed -n 's/^  \([a-z]\+\) .*/\1/p')
[ "$(wc -w <<<"$comandi")" -ge 5 ] || fallisci "comandi di pemtarx-db non trovati nell'aiuto: $comandi"
mkdir "$lavoro/ditta"
"$p/bin/pemtarx-db" crea "$lavoro/ditta/dogana.mdb" >/dev/null
"$p/bin/pemtarx-db" verifica "$lavoro/ditta/dogana.mdb" >/dev/null 2>&1 || fallisci "l'archivio creato non supera la verifica"

voce="$p/share/applications/pemtarx.desktop"
desktop-file-validate "$voce" || fallisci "voce del menu non valida"
campo() { sed -n "s/^$1=//p" "$voce"; }
# What the menu starts and shows must be what was installed; the rest desktop-file-validate checks.
[ "$(campo Exec)" = pemtarx ] || fallisci "Exec non avvia pemtarx"
[ "$(campo Icon)" = pemtarx ] || fallisci "Icon non è l'icona installata"

info="$p/share/metainfo/org.example.pemtarx.metainfo.xml"
appstreamcli validate --no-net "$info" || fallisci "metainfo non valido"
grep -q '<launchable type="desktop-id">pemtarx.desktop</launchable>' "$info" || fallisci "metainfo senza la voce del menu"
for c in $comandi; do
  grep -q "<li>$c: " "$info" || fallisci "il metainfo non nomina pemtarx-db $c"
done

icona="$p/share/icons/hicolor/scalable/apps/pemtarx.svg"
file -b "$icona" | grep -q 'SVG' || fallisci "l'icona non è SVG"
rsvg-convert -w 48 -h 48 "$icona" -o "$lavoro/icona.png" || fallisci "l'icona non si disegna"

for m in pemtarx pemtarx-db; do
  pagina="$p/share/man/man1/$m.1.gz"
  file -b "$pagina" | grep -q '^gzip' || fallisci "$m.1 non è compressa"
  avvisi=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$pagina" 2>&1 >/dev/null)
  [ -z "$avvisi" ] || fallisci "avvisi nella pagina $m.1: $avvisi"
  testo=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$pagina" 2>/dev/null)
  grep -q 'pemtarx-db crea' <<<"$testo" || fallisci "la pagina $m.1 non spiega pemtarx-db crea"
  grep -q 'Quendrix.ini' <<<"$testo" || fallisci "la pagina $m.1 non nomina Quendrix.ini"
done

esempio="$p/share/doc/pemtarx/examples/Quendrix.ini.esempio"
for riga in '\[BASE\]' 'DITTA=' '\[PATH\]' 'DIRINI=.*/$'; do
  tr -d '\r' <"$esempio" | grep -q "^$riga" || fallisci "Quendrix.ini.esempio senza $riga"
done
# As the program writes a new settings file: Windows-1252 and CRLF.
[ "$(grep -c $'\r$' "$esempio")" = "$(wc -l <"$esempio")" ] || fallisci "Quendrix.ini.esempio senza CRLF"
! iconv -f UTF-8 -t UTF-8 "$esempio" >/dev/null 2>&1 || fallisci "Quendrix.ini.esempio in UTF-8"
primo=$(zcat "$p/share/doc/pemtarx/changelog.gz" | head -n 1)
[[ $primo == "pemtarx ($versione) "* ]] || fallisci "il changelog non inizia con la versione $versione: $primo"

# ---- the Debian package
arch=$(dpkg --print-architecture)
(cd "$lavoro" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$lavoro/deb" >/dev/null 2>&1) ||
  fallisci "cpack non ha creato il pacchetto"
deb="$lavoro/deb/pemtarx_${versione}_${arch}.deb"
[ -f "$deb" ] || fallisci "manca $(basename "$deb"): $(ls "$lavoro/deb")"

contenuto=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)
[ "$contenuto" = "$attesi" ] || fallisci "contenuto del pacchetto diverso dagli attesi:
$(diff <(echo "$attesi") <(echo "$contenuto") || true)"
! dpkg-deb -c "$deb" | awk '{print $2}' | grep -vq '^root/root$' || fallisci "file non di root nel pacchetto"

f() { dpkg-deb -f "$deb" "$1"; }
[ "$(f Version)" = "$versione" ] || fallisci "Version: $(f Version)"
[ "$(f Architecture)" = "$arch" ] || fallisci "Architecture: $(f Architecture)"
[[ $(f Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fallisci "Maintainer non nella forma 'Nome <indirizzo>': '$(f Maintainer)'"
descrizione=$(f Description)
[ -n "$(head -n 1 <<<"$descrizione")" ] || fallisci "Description senza sintesi"
[ "$(wc -l <<<"$descrizione")" -ge 3 ] || fallisci "Description senza descrizione estesa"
for c in $comandi; do
  grep -qw "$c" <<<"$descrizione" || fallisci "Description non nomina pemtarx-db $c"
done
dipende=$(f Depends)
nomi=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$dipende")
# The shared libraries come from shlibdeps; the plugins Qt loads at run time are named by hand.
for d in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6sql6-sqlite qt6-qpa-plugins; do
  grep -Fxq "$d" <<<"$nomi" || fallisci "Depends senza $d: $dipende"
done
grep -Eq 'libqt6core6 \(>= [0-9.]+\)' <<<"$dipende" || fallisci "Depends senza le versioni di shlibdeps: $dipende"

# Anything of severity error fails the test; warnings and notes are shown.
esito=0
lintian --fail-on error "$deb" >"$lavoro/lintian" 2>&1 || esito=$?
cat "$lavoro/lintian"
[ "$esito" -eq 0 ] || fallisci "lintian segnala errori"
! grep -q '^E:' "$lavoro/lintian" || fallisci "lintian segnala errori"
echo "pacchetto: ok ($(basename "$deb"))"
