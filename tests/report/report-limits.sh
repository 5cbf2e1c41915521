#!/bin/sh
# qelvar --report DIR --limits FILE on the private loopback: within limits
# status 0, outside 1 (the figure marked in report.json); a faulty limits
# file or no sound 2, before anything plays.
#   report-limits.sh QELVAR
set -u
q=$1
tag=limits
. "$(dirname "$0")/../support/testlib.sh"
py() { /usr/bin/python3 -c "import json,sys; r=json.load(open('$1')); $2"; }
report() { retried "$3" "$q" --report "$1" --limits "$2"; } # report DIR LIMITS OUT

cat > "$work/good" <<'LIMITS'
# A digital loopback: flat, clean, quiet.
level_1k_left_db      -0.1  0.1
thdn_1k_left_db       -     -90
dynamic_range_left_db 95    -
response_db           -0.1  0.1   # every step, against 1 kHz
LIMITS
cat > "$work/bad" <<'LIMITS'
thdn_1k_left_db       -     -160  # better than 24 bits can be
LIMITS
printf 'thdn_1k_left_db -90\n' > "$work/broken"
printf 'thdn_1k_lefft_db - -90\n' > "$work/misspelt"

for bad in 'broken:line 1: ' 'misspelt:line 1: "thdn_1k_lefft_db" is no figure'; do
    name=${bad%%:*}
    "$q" --report "$work/r-$name" --limits "$work/$name" > "$work/out-$name" 2>&1
    rc=$?
    [ $rc -eq 2 ] && grep -qF "${bad#*:}" "$work/out-$name" || fail "$name limits file: status $rc"
    [ ! -e "$work/r-$name" ] || fail "a $name limits file still ran the test"
done

report "$work/r1" "$work/good" "$work/out1"
rc=$?
[ $rc -eq 0 ] || { fail "within limits: status $rc"; cat "$work/out1"; }
for f in report.json report.csv report.pdf; do [ -s "$work/r1/$f" ] || fail "$f not written"; done
py "$work/r1/report.json" "sys.exit(0 if r['passed'] and len(r['sweep']) == 20 else 1)" ||
    fail "report.json does not say passed"
head -1 "$work/r1/report.csv" | grep -q '^frequency_hz,left_db,right_db,thdn_left_db,thdn_right_db' ||
    fail "report.csv header"

report "$work/r2" "$work/bad" "$work/out2"
rc=$?
[ $rc -eq 1 ] || { fail "outside limits: status $rc"; cat "$work/out2"; }
py "$work/r2/report.json" "
f = [x for x in r['figures'] if x['key'] == 'thdn_1k_left_db'][0]
sys.exit(0 if not r['passed'] and f['limits']['failed'] and f['limits']['highest'] == -160 else 1)" ||
    fail "report.json does not mark the failed figure"
grep -q "thdn_1k_left_db .* FAIL" "$work/out2" || fail "the summary does not mark the failure"

PULSE_SERVER=unix:/nonexistent timeout 60 "$q" --report "$work/r4" > "$work/out4" 2>&1
rc=$?
[ $rc -eq 2 ] && py "$work/r4/report.json" "sys.exit(0 if r['failure'] else 1)" ||
    fail "no sound: status $rc"

finish
