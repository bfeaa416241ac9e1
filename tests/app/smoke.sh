#!/usr/bin/env bash
# Starts the real lattica executable headless with a temporary data folder and
# settings location, lets it take a screenshot and quit, then checks the
# folder tree, the log format and that the interface loaded cleanly.
set -u
exe=$1
data="$LTA_TEST_ROOT/appdata"
mkdir -p "$XDG_CONFIG_HOME/Vexa"
printf '[General]\ndatapath=%s\n' "$data" > "$XDG_CONFIG_HOME/Vexa/Lta.conf"
fail() { echo "FAIL: $*"; [ -f "$data/logs/diag1.txt" ] && cat "$data/logs/diag1.txt"; exit 1; }

# a file left in tmp must be gone after the start; one in a sub-folder stays
mkdir -p "$data/tmp/keep"
echo x > "$data/tmp/stale.txt"
echo y > "$data/tmp/keep/inner.txt"

timeout 60 "$exe" --screenshot "$LTA_TEST_ROOT/shot.png" || fail "lattica exited with $?"

for d in logs st V3VexaData/Products V3VexaData VexaCfg Orders Orders/post Orders/posted \
         Orders/in Orders/xfer Orders/b un db tmp; do
  [ -d "$data/$d" ] || fail "folder $d was not created"
done
[ -e "$data/tmp/stale.txt" ] && fail "tmp was not emptied"
[ -f "$data/tmp/keep/inner.txt" ] || fail "tmp sub-folder content was removed"

log="$data/logs/diag1.txt"
[ -s "$log" ] || fail "no log written"
bad=$(grep -v -E '^[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} (Debug|Info|Warning|Critical|Fatal): ' "$log")
[ -z "$bad" ] || fail "log lines in the wrong format: $bad"
grep -q ' Info: sslLibraryBuildVersion=' "$log" || fail "TLS line missing"
qmlerr=$(grep -E 'qrc:/|\.qml' "$log" | grep -E 'Warning|Critical|Fatal')
[ -z "$qmlerr" ] || fail "interface errors: $qmlerr"
grep -q 'aptypes_sl=Survey, Fitting, Repair, See notes' "$XDG_CONFIG_HOME/Vexa/Lta.conf" \
  || fail "appointment types not defaulted"

# the screenshot must be a real, non-blank picture of the window
[ -s "$LTA_TEST_ROOT/shot.png" ] || fail "no screenshot"
head -c 8 "$LTA_TEST_ROOT/shot.png" | od -An -tx1 | grep -q '89 50 4e 47' || fail "screenshot is not a PNG"
size=$(stat -c %s "$LTA_TEST_ROOT/shot.png")
[ "$size" -gt 5000 ] || fail "screenshot looks blank ($size bytes)"
echo "smoke: ok"
