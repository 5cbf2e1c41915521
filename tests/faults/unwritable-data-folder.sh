#!/bin/sh
# $HOME/Qelvarfiles is a plain file (which stops root too): each window
# names the folder, builds, a sweep and the off controls go on without a
# crash, and the file in the folder's place is left alone. The panel's Off
# closes the page first; each window that cannot save stays open once to
# say so.
#   unwritable-data-folder.sh QELVAR
set -u
qelvar=$1
home=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-faults.XXXXXX")
export HOME="$home"
mkdir -p "$home/.runtime" && chmod 700 "$home/.runtime"
export XDG_RUNTIME_DIR="$home/.runtime"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
printf 'not a folder\n' > "$home/Qelvarfiles"
cat > "$home/script" <<'END'
print panel.Status
click panel.Label16
click panel.Label12
print panel.Status
click panel.Label21
print page.Status
click page.Build(0)
print page.Status
click page.AutobuildAll
click page.Pulse
click page.FullDuplex
click page.Play
wait 1200
click page.Stop
click page.ViewGraph
print page.Status
shown graph
click page.Off
shown page
print page.Status
click panel.Label18
shown panel
shown page
click panel.Label18
shown page
print panel.Status
click panel.Label18
shown panel
quit
END
cat > "$home/expected" <<END
panel.Status=Cannot write to $home/Qelvarfiles
panel.Status=Cannot write to $home/Qelvarfiles
page.Status=    Cannot write to $home/Qelvarfiles
page.Status=    Cannot write $home/Qelvarfiles/tessalyf1.wav
page.Status=    Cannot write the graph data file.
graph=0
page=1
page.Status=    Settings could not be saved.
panel=1
page=1
page=0
panel.Status=Cannot write $home/Qelvarfiles/wavoscsetup: Off again closes without saving
panel=0
END
timeout 90 "$qelvar" --script "$home/script" > "$home/stdout" 2> "$home/stderr"
rc=$?
fail() {
    echo "unwritable-data-folder: $*"
    echo "--- stdout"; cat "$home/stdout"
    echo "--- stderr"; cat "$home/stderr"
    echo "--- HOME kept at $home"
    exit 1
}
[ $rc -eq 0 ] || fail "exit status $rc"
diff -u "$home/expected" "$home/stdout" || fail "standard output differs"
[ "$(cat "$home/Qelvarfiles")" = "not a folder" ] || fail "the file in the folder's place changed"
[ -z "$(ls -A "$home" | grep -v -x -e Qelvarfiles -e script -e expected -e stdout -e stderr \
        -e .runtime -e .cache -e .config)" ] || fail "files written outside the data folder"
rm -rf "$home"
echo "unwritable-data-folder: passed"
