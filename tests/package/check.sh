#!/usr/bin/env bash
# Makes the Debian package from the finished build with scripts/package and
# checks it without installing it system-wide: what dpkg-deb lists, the
# desktop entry, AppStream data and MIME type against their validators,
# lintian, and the programs unpacked into a temporary root: their help,
# version and a screenshot, the order type and default program in a private
# XDG data folder, and a double-clicked order handed to the running copy.
#   check.sh SOURCE_DIR BUILD_DIR VERSION      (run through tests/isolated)
set -u
src=$1 build=$2 version=$3
root=$LTA_TEST_ROOT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() { echo "FAIL: $*"; exit 1; }
# the single-instance guard's block and socket stay in this test's folder
export TMPDIR=$root/tmp
mkdir -p "$TMPDIR"

# --- the package ------------------------------------------------------------
out=$root/out
"$src/scripts/package" --build-dir "$build" "$out" >"$root/package.log" 2>&1 \
  || { cat "$root/package.log"; die "scripts/package failed"; }
deb=$(tail -n 1 "$root/package.log")
[ -f "$deb" ] || { cat "$root/package.log"; die "no package named in the output"; }
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "lattica_${version}_${arch}.deb" ] || fail "package file named $(basename "$deb")"
shot=$out/lattica-$version.png
head -c 8 "$shot" 2>/dev/null | od -An -tx1 | grep -q '89 50 4e 47' || fail "no AppStream screenshot $shot"

field() { dpkg-deb -f "$deb" "$1"; }
dpkg-deb --info "$deb" >"$root/info.txt" || die "dpkg-deb --info failed"
[ "$(field Package)" = lattica ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
# from dpkg-shlibdeps (the linked libraries) and named (what Qt loads at run time)
for d in libc6 libqt5core5a libqt5gui5 libqt5quick5 libqt5network5 libqt5sql5 libqt5webview5 libquazip1-qt5-1 \
         qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-layouts qml-module-qtquick-controls2 \
         qml-module-qtwebview libqt5svg5 libqt5sql5-sqlite fonts-dejavu-core fonts-font-awesome; do
  grep -Eq "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done

dpkg-deb --contents "$deb" >"$root/contents.txt" || die "dpkg-deb --contents failed"
paths=$(awk '{print $6}' "$root/contents.txt")
for f in usr/bin/lattica usr/bin/lattica-cli \
         usr/share/applications/lattica.desktop \
         usr/share/mime/packages/lattica.xml \
         usr/share/metainfo/app.lattica.Lattica.metainfo.xml \
         usr/share/icons/hicolor/48x48/apps/lattica.png usr/share/icons/hicolor/128x128/apps/lattica.png \
         usr/share/icons/hicolor/256x256/apps/lattica.png usr/share/icons/hicolor/scalable/apps/lattica.svg \
         usr/share/man/man1/lattica.1.gz usr/share/man/man1/lattica-cli.1.gz \
         usr/share/doc/lattica/copyright usr/share/doc/lattica/changelog.gz \
         usr/share/lattica/sample-order.json usr/share/lattica/catalogue/; do
  grep -qx "\./$f" <<<"$paths" || fail "the package lacks /$f"
done
outside=$(grep -v -e '^\./$' -e '^\./usr/' <<<"$paths")
[ -z "$outside" ] || fail "files outside /usr: $outside"
grep -q '^\./usr/local' <<<"$paths" && fail "files under /usr/local"
grep -q 'rwxrwx\|rw-rw-' "$root/contents.txt" && fail "group-writable entries: $(grep 'rwxrwx\|rw-rw-' "$root/contents.txt")"

# --- validators and lintian -------------------------------------------------
x=$root/x
dpkg-deb -x "$deb" "$x" || die "dpkg-deb -x failed"
share=$x/usr/share
desktop-file-validate "$share/applications/lattica.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/app.lattica.Lattica.metainfo.xml" >"$root/appstream.txt" 2>&1 \
  || { cat "$root/appstream.txt"; fail "appstreamcli validate"; }
xmllint --noout "$share/mime/packages/lattica.xml" || fail "xmllint on the MIME type"
grep -qx 'Exec=lattica %f' "$share/applications/lattica.desktop" || fail "desktop entry does not run lattica %f"
for size in 48 128 256; do
  dims=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' \
         "$share/icons/hicolor/${size}x${size}/apps/lattica.png")
  [ "$dims" = "${size}x${size}" ] || fail "the ${size}px icon is $dims"
done
# the manual page lists every command of the program's help
cli_help=$("$x/usr/bin/lattica-cli" help 2>&1)
commands=$(sed -n 's/^  lattica-cli //p' <<<"$cli_help" | wc -l)
entries=$(zcat "$share/man/man1/lattica-cli.1.gz" | sed -n '/^\.SH COMMANDS/,/^\.SH /p' | grep -c '^\.B lattica\\-cli ')
[ "$commands" -gt 5 ] && [ "$commands" = "$entries" ] || fail "manual page has $entries commands, help $commands"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$root/lintian.txt" 2>&1
lintian_rc=$?
grep -E '^E: ' "$root/lintian.txt" && fail "lintian reports errors"
[ $lintian_rc -eq 0 ] || { cat "$root/lintian.txt"; fail "lintian exited with $lintian_rc"; }
# every warning that is kept is named, with its reason, in README.md
for tag in $(sed -n 's/^W: lattica[^:]*: \([^ ]*\).*/\1/p' "$root/lintian.txt" | sort -u); do
  grep -q "\`$tag\`" "$src/README.md" || fail "lintian warning $tag is not explained in README.md"
done

# --- the unpacked programs --------------------------------------------------
bin=$x/usr/bin
[ "$("$bin/lattica" --version)" = "lattica $version" ] || fail "lattica --version: $("$bin/lattica" --version)"
[ "$("$bin/lattica-cli" --version)" = "lattica-cli $version" ] || fail "lattica-cli --version"
grep -q '^usage: lattica-cli COMMAND' <<<"$cli_help" || fail "lattica-cli help: $cli_help"
for p in lattica lattica-cli; do
  readelf -d "$bin/$p" | grep -Eq 'RPATH|RUNPATH' && fail "$p carries a library search path"
  grep -qaF "$build" "$bin/$p" && fail "$p names the build folder"
  readelf -S "$bin/$p" | grep -q '\.debug_info' && fail "$p is not stripped"
done
# the command-line tool prices the sample order against the packaged catalogue
cli_data=$root/clidata
"$bin/lattica-cli" catalogue install --data "$cli_data" "$share/lattica/catalogue" >/dev/null \
  || fail "installing the packaged sample catalogue"
mkdir -p "$cli_data/Orders"
cp "$share/lattica/sample-order.json" "$cli_data/Orders/DEMO-1001"
"$bin/lattica-cli" price --data "$cli_data" --save DEMO-1001 >"$root/price.json" || fail "pricing the sample order"
grep -q '"items"' "$root/price.json" || fail "price printed: $(head -c 300 "$root/price.json")"

# the program renders its first screen from the unpacked root
data=$root/appdata
mkdir -p "$XDG_CONFIG_HOME/Vexa"
printf '[General]\ndatapath=%s\n' "$data" >"$XDG_CONFIG_HOME/Vexa/Lta.conf"
log=$data/logs/diag1.txt
timeout 60 "$bin/lattica" --screenshot "$root/shot.png" || fail "lattica --screenshot exited with $?"
size=$(stat -c %s "$root/shot.png" 2>/dev/null || echo 0)
[ "$size" -gt 5000 ] || fail "screenshot missing or blank ($size bytes)"
qmlerr=$(grep -E 'qrc:/|\.qml' "$log" 2>/dev/null | grep -E ' (Warning|Critical|Fatal): ')
[ -z "$qmlerr" ] || fail "interface errors: $qmlerr"
grep -q 'icon font not found' "$log" 2>/dev/null && fail "the icon font was not found"

# --- the desktop: order type and its program --------------------------------
xdg=$root/xdg
mkdir -p "$xdg/mime/packages" "$xdg/applications"
cp "$share/mime/packages/lattica.xml" "$xdg/mime/packages/"
cp "$share/applications/lattica.desktop" "$xdg/applications/"
XDG_DATA_HOME=$xdg update-mime-database "$xdg/mime" || fail "update-mime-database"
update-desktop-database "$xdg/applications" || fail "update-desktop-database"
# no desktop session: xdg-mime's generic path, reading the XDG folders alone
xq() {
  env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
      -u MATE_DESKTOP_SESSION_ID -u XDG_MENU_PREFIX XDG_DATA_HOME="$xdg" XDG_DATA_DIRS=/usr/share \
      xdg-mime query "$@"
}
files=$root/files
mkdir -p "$files" "$root/elsewhere"
cp "$cli_data/Orders/DEMO-1001" "$files/some-order.lta"      # as the program writes it
cp "$cli_data/Orders/DEMO-1001" "$files/mailed-order.json"    # a JSON order, known by its content
cp "$share/lattica/sample-order.json" "$files/indented.json"  # another writer's layout
printf '{"name": "not an order", "size": 3}\n' >"$files/plain.json"
printf 'not even JSON\n' >"$files/renamed.lta"                # the name alone decides
while read -r name expected; do
  got=$(xq filetype "$files/$name")
  [ "$got" = "$expected" ] || fail "xdg-mime query filetype $name: '$got', expected $expected"
done <<EOF
some-order.lta application/x-lattica-order
mailed-order.json application/x-lattica-order
indented.json application/x-lattica-order
plain.json application/json
renamed.lta application/x-lattica-order
EOF
got=$(xq default application/x-lattica-order)
[ "$got" = lattica.desktop ] || fail "xdg-mime query default: '$got'"

# --- a double-clicked order goes to the running copy ------------------------
# the screenshot run above wrote the same start-up line: wait for a new one
starts() { grep 'sslLibraryBuildVersion' "$log" 2>/dev/null | wc -l; }
before=$(starts)
PATH=$bin:$PATH lattica >"$root/first.out" 2>&1 &
first=$!
for _ in $(seq 300); do
  [ "$(starts)" -gt "$before" ] && break
  kill -0 $first 2>/dev/null || break
  sleep 0.1
done
# what the desktop runs for a double-click: the entry's Exec with %f the file
read -ra exec_words <<<"$(sed -n 's/^Exec=//p' "$share/applications/lattica.desktop")"
words=()
for w in "${exec_words[@]}"; do
  [ "$w" = %f ] && w=$files/some-order.lta
  words+=("$w")
done
(cd "$root/elsewhere" && PATH=$bin:$PATH timeout 30 "${words[@]}")
rc=$?
[ $rc -eq 0 ] || fail "the second start exited with $rc"
for _ in $(seq 100); do
  [ -f "$data/Orders/DEMO-1001" ] && break
  sleep 0.1
done
[ -f "$data/Orders/DEMO-1001" ] || fail "the running copy did not import the order"
grep -q 'Received message from instance: ' "$log" || fail "the running copy got no message"
grep -qF "$files/some-order.lta" "$log" || fail "the message did not name the file"
kill -0 $first 2>/dev/null || fail "the first copy is gone"
kill $first 2>/dev/null
wait $first 2>/dev/null

if ((failures)); then
  echo "package: $failures failures"
  [ -f "$log" ] && tail -n 30 "$log"
  exit 1
fi
echo "package: ok ($(basename "$deb"), $(stat -c %s "$deb") bytes)"
