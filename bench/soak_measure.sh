#!/bin/sh
# Soak run of full-duplex measurement: the default sweep with LOOP and FULL
# DUPLEX on, through a private loopback sound server, for DURATION seconds.
# Samples the program's resident memory, open file descriptors and threads
# every INTERVAL seconds and says whether they grew.
#   bench/soak_measure.sh [BINARY] [DURATION_S] [INTERVAL_S]
# Not part of the test suite.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/src/app/qelvar}
duration=${2:-600}
interval=${3:-10}
[ -x "$bin" ] || { echo "soak: no program at $bin" >&2; exit 2; }

work=$(mktemp -d /tmp/qelvar-soak.XXXXXX)
runtime=$work/pulse
mkdir -p "$work/home"
"$here/scripts/pulse-private" start "$runtime" >/dev/null || { echo "soak: no sound server" >&2; exit 1; }

cleanup() {
    [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
    "$here/scripts/pulse-private" stop "$runtime" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

cat > "$work/soak.qscript" <<SCRIPT
click panel.Label21
click page.AutobuildAll
click page.Loop
click page.FullDuplex
click page.Play
wait $((duration * 1000))
print page.Left(7)
print page.Right(7)
click page.Stop
quit
SCRIPT

HOME=$work/home XDG_RUNTIME_DIR=$runtime PULSE_SERVER=unix:$runtime/pulse/native \
    PULSE_COOKIE=$runtime/cookie QT_QPA_PLATFORM=offscreen \
    "$bin" --script "$work/soak.qscript" > "$work/out.txt" 2> "$work/err.txt" &
pid=$!

field() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$pid/status" 2>/dev/null; }

echo "t_s,rss_kb,fds,threads"
t=0
first=""
while kill -0 "$pid" 2>/dev/null && [ "$t" -le "$duration" ]; do
    rss=$(field VmRSS)
    threads=$(field Threads)
    fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
    [ -n "$rss" ] || break
    echo "$t,$rss,$fds,$threads"
    # the first sample after the sweep has looped once is the baseline
    if [ "$t" -ge 20 ] && [ -z "$first" ]; then first="$rss $fds $threads"; fi
    last="$rss $fds $threads"
    sleep "$interval"
    t=$((t + interval))
done
wait "$pid"
status=$?
pid=""

echo "exit status $status"
cat "$work/out.txt"
[ -s "$work/err.txt" ] && { echo "stderr:"; tail -5 "$work/err.txt"; }
echo "captures:"; ls "$work/home/Qelvarfiles" | grep -c '^wavrec'
if [ -n "$first" ]; then
    set -- $first $last
    echo "from t=20 s to the end: rss ${1} -> ${4} kB ($(( $4 - $1 )) kB), fds ${2} -> ${5}, threads ${3} -> ${6}"
fi
