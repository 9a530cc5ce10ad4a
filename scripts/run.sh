#!/usr/bin/env bash
# Builds kestrel.exe and runs it under Wine: on the current X display, or, when there is none, on a virtual
# display (Xvfb) that this script starts, with a screenshot of it every few seconds.
#
#   scripts/run.sh           Kestrel as it runs on a desktop: hidden, locking what its stored items name
#   scripts/run.sh --demo    the lock at once: one stored item ("Crime"), then a Notepad window whose title
#                            holds it, which Kestrel hides behind its password prompt (PASSAGE gives it back)
#
# The Wine prefix (and with it Kestrel's registry: password, locked items) is kept between runs in
# ~/.cache/kestrel/wineprefix (KESTREL_PREFIX overrides); the demo makes a fresh one of its own each time,
# ~/.cache/kestrel/demo-prefix. Wine shows everything in its virtual desktop of 1024x768. Stop with Ctrl+C (ends
# Kestrel and the Wine session of that prefix).
set -u
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$KESTREL_ROOT" || exit 1

DEMO=0
for arg in "$@"; do
    case "$arg" in
    --demo) DEMO=1 ;;
    *) die "unknown argument: $arg (use --demo, or nothing)" ;;
    esac
done

CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/kestrel"
PREFIX="${KESTREL_PREFIX:-$CACHE/wineprefix}"
if [ "$DEMO" -eq 1 ]; then
    PREFIX="$CACHE/demo-prefix"
    rm -rf "$PREFIX"
fi
SCREENS="$KESTREL_ROOT/build/screens"
SHOT_EVERY="${KESTREL_SHOT_EVERY:-5}"

ensure_packages "${PKGS_WINDOWS_BUILD[@]}" "${PKGS_WINE[@]}"

build_preset windows kestrel || die "the windows build of kestrel.exe failed"
EXE="$KESTREL_ROOT/build/windows/kestrel.exe"
[ -f "$EXE" ] || die "no $EXE after the build"

ensure_prefix "$PREFIX" "$CACHE/e2e-prefix-template" || die "could not make a Wine prefix in $PREFIX"

shooter=
cleanup() {
    [ -n "$shooter" ] && kill "$shooter" 2>/dev/null
    WINEPREFIX="$PREFIX" wineserver -k >/dev/null 2>&1
    stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
    start_xvfb 1024x768x24 || die "could not start Xvfb"
    mkdir -p "$SCREENS"
    (
        while sleep "$SHOT_EVERY"; do
            import -window root "$SCREENS/desktop.tmp.png" 2>/dev/null && mv -f "$SCREENS/desktop.tmp.png" "$SCREENS/desktop.png"
        done
    ) &
    shooter=$!
    log "no X display: Kestrel runs on a virtual display, DISPLAY=$DISPLAY (Xvfb)."
    log "a screenshot of it is saved every ${SHOT_EVERY} s to $SCREENS/desktop.png"
    log "to act on it from another shell: DISPLAY=$DISPLAY xdotool ... ; one screenshot: DISPLAY=$DISPLAY import -window root shot.png"
else
    log "Kestrel runs on DISPLAY=$DISPLAY, inside Wine's virtual desktop (1024x768)."
fi

log "Kestrel runs hidden: it locks foreground windows whose titles hold an active locked item; its icon is in"
log "the tray of Wine's desktop (right-click it for Setup..., default password PASSAGE). Ctrl+C stops it."
wine_env "$PREFIX"
wineserver -p >/dev/null 2>&1
if [ "$DEMO" -eq 1 ]; then
    # The store lives in the registry's 32-bit view, as Kestrel keeps it.
    wine reg add 'HKLM\Software\ORV\Kestrel\Locked Items' /v Item0 /d 'Crime,1' /reg:32 /f >/dev/null 2>&1 ||
        die "could not store the demo's locked item"
fi
# In the background, because Wine ignores Ctrl+C for a GUI program: waiting here lets the INT trap run, and
# the cleanup ends Kestrel with its Wine session.
(cd "$KESTREL_ROOT/build/windows" && exec wine kestrel.exe </dev/null) &
kestrel=$!

if [ "$DEMO" -eq 1 ]; then
    # Kestrel writes its file-type association as it starts: once that is there, it watches.
    for _ in $(seq 1 60); do
        wine reg query 'HKCR\.loc' >/dev/null 2>&1 && break
        sleep 0.5
    done
    printf 'Kestrel hides every window whose title holds "Crime" until the password is typed.\r\n' \
        >"$PREFIX/drive_c/Crime Stories.txt"
    log "demo: the stored item is \"Crime\"; opening Notepad with \"Crime Stories.txt\": Kestrel hides it and asks"
    log "for the password (PASSAGE gives it back, Cancel closes it)."
    (cd "$PREFIX/drive_c" && exec wine notepad.exe 'C:\Crime Stories.txt' </dev/null >/dev/null 2>&1) &
    if [ -n "$shooter" ]; then
        sleep 5
        import -window root "$SCREENS/demo.png" 2>/dev/null &&
            log "demo: screenshot of the hidden window's prompt: $SCREENS/demo.png"
    fi
fi
wait "$kestrel"
rc=$?
log "kestrel.exe ended (exit code $rc)"
exit "$rc"
