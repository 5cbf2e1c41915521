#!/bin/sh
# The set-up scripts against stand-ins for apt-get, apt-cache, dpkg-query,
# sudo and id, so nothing is installed: scripts/apt-install installs nothing
# when apt-get's dry run would remove a package or bring in a sound server
# nobody asked for; it skips what is installed and optional packages the
# archive lacks; scripts/setup-tests picks the sound servers by its rule and
# scripts/setup never asks for one.
#   install-guard.sh SOURCE_DIR
set -u
src=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qelvar-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

# A copy of the scripts, as they find each other by their own folder.
mkdir -p "$work/repo/scripts" "$work/bin"
cp "$src/scripts/apt-install" "$src/scripts/setup" "$src/scripts/setup-tests" "$work/repo/scripts/"

# The stand-ins read the machine from $STATE: "installed" and "archive"
# (a package a line), "pulls" (packages the dry run adds), "removes"
# (packages it removes), "cannot" (the dry run fails). Every call is logged.
STATE=$work/state
export STATE
cat > "$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
eval "p=\${$#}"
grep -qx "$p" "$STATE/installed" 2>/dev/null || exit 1
printf 'install ok installed'
EOF
cat > "$work/bin/apt-cache" <<'EOF'
#!/bin/sh
if grep -qx "$2" "$STATE/archive" 2>/dev/null; then
    printf '%s:\n  Installed: (none)\n  Candidate: 1.0-1\n' "$2"
else
    printf '%s:\n  Installed: (none)\n  Candidate: (none)\n' "$2"
fi
EOF
cat > "$work/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >> "$STATE/log"
case "$1" in
update) exit 0 ;;
-s)
    [ -e "$STATE/cannot" ] && { echo "E: Unable to locate package"; exit 100; }
    shift 3
    for p in "$@" $(cat "$STATE/pulls" 2>/dev/null); do echo "Inst $p (1.0-1 Debian:12 [amd64])"; done
    for p in $(cat "$STATE/removes" 2>/dev/null); do echo "Remv $p [1.0-1]"; done
    ;;
install) shift 4; echo "$*" > "$STATE/done" ;;
esac
EOF
cat > "$work/bin/sudo" <<'EOF'
#!/bin/sh
echo "sudo $1" >> "$STATE/log"
exec "$@"
EOF
printf '#!/bin/sh\necho 1000\n' > "$work/bin/id"
chmod +x "$work/bin/"*
PATH=$work/bin:$PATH
export PATH

# machine INSTALLED ARCHIVE: a fresh state; the archive holds what is
# installed plus ARCHIVE.
machine() {
    rm -rf "$STATE"
    mkdir "$STATE"
    : > "$STATE/log"
    for p in $1; do echo "$p"; done > "$STATE/installed"
    for p in $1 $2; do echo "$p"; done > "$STATE/archive"
}
# run SCRIPT ARGS...: its status in $rc, its output in $out.
run() {
    out=$(cd "$work/repo" && "$@" 2>&1)
    rc=$?
}
installed_now() { cat "$STATE/done" 2>/dev/null; }

# Everything installed: apt-get is never called, not even to update.
machine "libfoo libbar" ""
run scripts/apt-install libfoo libbar
[ $rc -eq 0 ] || fail "all installed: status $rc: $out"
[ -s "$STATE/log" ] && fail "all installed, yet apt-get ran: $(cat "$STATE/log")"

# What is installed is left out; the rest goes through sudo for a user.
machine "libfoo" "libbar"
run scripts/apt-install libfoo libbar
[ $rc -eq 0 ] || fail "one missing: status $rc: $out"
[ "$(installed_now)" = "libbar" ] || fail "one missing: installed '$(installed_now)'"
grep -q '^sudo apt-get' "$STATE/log" || fail "apt-get did not run through sudo: $(cat "$STATE/log")"

# A dry run that removes a package (pipewire-alsa and pulseaudio remove
# each other): nothing is installed, and the message names the package.
machine "" "libfoo"
echo pipewire-alsa > "$STATE/removes"
run scripts/apt-install libfoo
[ $rc -ne 0 ] || fail "a removal was let through"
[ -e "$STATE/done" ] && fail "a removal: something was installed: $(installed_now)"
echo "$out" | grep -q 'would remove: pipewire-alsa' || fail "a removal is not named: $out"

# A dependency that brings in a sound server nobody asked for.
machine "" "libfoo"
printf 'libdep\npipewire-bin\n' > "$STATE/pulls"
run scripts/apt-install libfoo
[ $rc -ne 0 ] || fail "a server coming in as a dependency was let through"
[ -e "$STATE/done" ] && fail "a server as a dependency: something was installed"
echo "$out" | grep -q 'sound server pipewire-bin' || fail "the server is not named: $out"

# A server that is asked for by name is installed, with what it pulls in.
machine "" "pulseaudio"
echo libdep > "$STATE/pulls"
run scripts/apt-install pulseaudio
[ $rc -eq 0 ] || fail "a server asked for: status $rc: $out"
[ "$(installed_now)" = "pulseaudio" ] || fail "a server asked for: installed '$(installed_now)'"

# An optional package the archive lacks is skipped with a word; one it has
# goes in with the rest.
machine "" "libfoo libopt"
run scripts/apt-install libfoo --optional libnothere libopt
[ $rc -eq 0 ] || fail "optional: status $rc: $out"
[ "$(installed_now)" = "libfoo libopt" ] || fail "optional: installed '$(installed_now)'"
echo "$out" | grep -q 'libnothere is not in the archive' || fail "the missing optional is not named: $out"

# A dry run that fails installs nothing and fails.
machine "" "libfoo"
touch "$STATE/cannot"
run scripts/apt-install libfoo
[ $rc -ne 0 ] || fail "a failed dry run was reported as success"
[ -e "$STATE/done" ] && fail "a failed dry run: something was installed"

# scripts/setup-tests: which servers it installs. Under CI both, beside
# each other; on a person's machine the one installed is used, and
# PulseAudio comes in only where neither is.
servers_asked() {
    for s in pulseaudio pipewire pipewire-bin pipewire-pulse pipewire-alsa wireplumber; do
        echo " $(installed_now) " | grep -q " $s " && printf '%s ' "$s"
    done
}
everything="libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth openbox wmctrl x11-utils clang
desktop-file-utils appstream sox pulseaudio-utils dbus libclang-rt-14-dev python3-numpy
pulseaudio pipewire pipewire-bin pipewire-pulse wireplumber"
machine "" "$everything"
(CI=1; export CI; cd "$work/repo" && scripts/setup-tests) > "$STATE/out" 2>&1 ||
    fail "setup-tests under CI: $(cat "$STATE/out")"
[ "$(servers_asked)" = "pulseaudio pipewire pipewire-bin pipewire-pulse wireplumber " ] ||
    fail "setup-tests under CI asked for: $(servers_asked)"
for desktop in "pipewire pipewire-pulse" "pulseaudio" ""; do
    machine "$desktop" "$everything"
    (unset CI; cd "$work/repo" && scripts/setup-tests) > "$STATE/out" 2>&1 ||
        fail "setup-tests with '$desktop' installed: $(cat "$STATE/out")"
    want=""
    [ -z "$desktop" ] && want="pulseaudio "
    [ "$(servers_asked)" = "$want" ] ||
        fail "setup-tests with '$desktop' installed asked for '$(servers_asked)', not '$want'"
done

# scripts/setup (what starting the program installs) asks for no server.
machine "" "build-essential cmake pkg-config qt6-base-dev libgl-dev libpulse-dev libsoxr-dev
libsndfile1-dev libfftw3-dev portaudio19-dev libasound2-dev libasound2-plugins fonts-dejavu-core
fonts-liberation2"
run scripts/setup
[ $rc -eq 0 ] || fail "setup: status $rc: $out"
[ -n "$(installed_now)" ] || fail "setup installed nothing"
[ -z "$(servers_asked)" ] || fail "setup asked for a sound server: $(servers_asked)"

exit $status
