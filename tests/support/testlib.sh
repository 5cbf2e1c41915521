# Sourced by the test scripts after setting $tag: a scratch folder $work
# (HOME too) that finish removes after a pass, fail (the run goes on,
# marked failed), need, near and retried.
work=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-$tag.XXXXXX")
export HOME="$work"
status=0
fail() { echo "FAIL: $*"; status=1; }
finish() { [ $status -eq 0 ] && rm -rf "$work"; exit $status; }
# need TOOL...: the test is skipped (77) unless every tool is installed.
need() {
    for t in "$@"; do command -v "$t" >/dev/null || { echo "skipped: $t is not installed"; exit 77; }; done
}
# near A B TOL: |A - B| <= TOL
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; exit !(d <= t && -d <= t) }'; }
# retried OUT COMMAND...: COMMAND's status, its output in OUT; run again
# (three runs in all) while the sound path spoilt every take, as a busy
# machine's server does now and then.
retried() {
    out=$1
    shift
    for _ in 1 2 3; do
        "$@" > "$out" 2>&1
        rc=$?
        grep -qE "no (figures|curves): (frames were lost|the sound device was suspended|the sound server moved|the take came back short)" "$out" ||
            return "$rc"
        sleep 3
    done
    return "$rc"
}
