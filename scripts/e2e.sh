#!/usr/bin/env bash
# Runs the end-to-end test programs of build/windows under Wine on a private Xvfb display.
#
#   scripts/e2e.sh                 every program built from tests/e2e/*.cpp (except helper_*.cpp)
#   scripts/e2e.sh e2e_lock ...    only these programs
#
# Each program is brought up to date first (scripts/test.sh has built them all by then). One Wine prefix, build/e2e-prefix, is made
# per run (copied from a ready template in ~/.cache/kestrel when there is one); the programs run one after
# another, each with a fresh Wine session. Every test prints "PASS <name>" or "FAIL <name>: <why>"; the counts
# go to $E2E_RESULT_FILE ("<passed> <failed>") when that is set. Logs and screenshots: build/e2e-artifacts/.
set -u
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

WINBUILD="$KESTREL_ROOT/build/windows"
ARTIFACTS="$KESTREL_ROOT/build/e2e-artifacts"
PREFIX="${KESTREL_E2E_PREFIX:-$KESTREL_ROOT/build/e2e-prefix}"
TEMPLATE="${KESTREL_PREFIX_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrel/e2e-prefix-template}"
PROGRAM_TIMEOUT="${KESTREL_E2E_TIMEOUT:-300}"

ensure_packages "${PKGS_WINDOWS_BUILD[@]}" "${PKGS_WINE[@]}"
[ -f "$WINBUILD/build.ninja" ] || (cd "$KESTREL_ROOT" && cmake --preset windows >/dev/null)

programs=("$@")
if [ ${#programs[@]} -eq 0 ]; then
    for src in "$KESTREL_ROOT"/tests/e2e/*.cpp; do
        [ -e "$src" ] || continue
        name="$(basename "$src" .cpp)"
        case "$name" in helper_*) continue ;; esac
        programs+=("$name")
    done
fi

passed=0
failed=0
fail() { # a failure the harness itself found
    printf 'FAIL %s\n' "$1"
    failed=$((failed + 1))
}

trap stop_wine_and_xvfb EXIT
trap 'exit 130' INT TERM

rm -rf "$ARTIFACTS"
mkdir -p "$ARTIFACTS"

# Each run starts from a fresh prefix: the tests change the machine-wide registry.
rm -rf "$PREFIX"
if ! ensure_prefix "$PREFIX" "$TEMPLATE"; then
    fail "e2e: could not make a Wine prefix in $PREFIX"
    programs=()
fi
if [ ${#programs[@]} -gt 0 ] && ! start_xvfb; then
    fail "e2e: could not start Xvfb"
    programs=()
fi
[ ${#programs[@]} -gt 0 ] && log "e2e on DISPLAY=$DISPLAY, prefix $PREFIX, artefacts in $ARTIFACTS"

wine_env "$PREFIX"

# Asking the build for each program (a no-op when it is up to date) tells whether it is built from the sources
# as they are now: after a failed build an old .exe may still lie there. An old kestrel.exe is taken away, so
# that no test passes on it.
is_built() {
    [ -f "$WINBUILD/build.ninja" ] &&
        cmake --build "$WINBUILD" -j "$JOBS" --target "$1" >"$ARTIFACTS/build-$1.log" 2>&1
}
if [ ${#programs[@]} -gt 0 ] && ! is_built kestrel; then
    log "kestrel.exe does not build (see $ARTIFACTS/build-kestrel.log): the tests that start it will fail"
    rm -f "$WINBUILD/kestrel.exe"
fi

for program in "${programs[@]}"; do
    if ! is_built "$program"; then
        fail "$program: not built (see $ARTIFACTS/build-$program.log)"
        continue
    fi
    log "running $program"
    # The server first, so that the test program and the kestrel.exe it starts share it from the start.
    wineserver -p >/dev/null 2>&1
    out="$ARTIFACTS/$program.log"
    # The tests read Kestrel's event-log reports from there: under Wine they go to the debug output.
    export KESTREL_E2E_STDERR="$ARTIFACTS/$program.stderr"
    # The guard's tests read its events: the service inherits the channels from the first program of the session.
    debug="$WINEDEBUG"
    [ "$program" = e2e_guard ] && debug="-all,fixme+advapi,trace+eventlog,warn+eventlog"
    # The output goes to a file, not a pipe: the system processes the first program starts (services.exe, and a
    # service's program) keep its standard output open after it has ended.
    (cd "$WINBUILD" && WINEDEBUG="$debug" timeout -k 10 "$PROGRAM_TIMEOUT" wine "$program.exe" </dev/null \
        >"$out.raw" 2>"$KESTREL_E2E_STDERR")
    rc=$?
    tr -d '\r' <"$out.raw" | tee "$out"
    rm -f "$out.raw"
    p=$(grep -c '^PASS ' "$out")
    f=$(grep -c '^FAIL ' "$out")
    passed=$((passed + p))
    failed=$((failed + f))
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
        fail "$program: timed out after $PROGRAM_TIMEOUT s"
    elif [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
        fail "$program: exited with code $rc (see $ARTIFACTS/$program.stderr)"
    elif [ $((p + f)) -eq 0 ]; then
        fail "$program: reported no test"
    fi
    # Whatever the program left running (kestrel.exe, dialogs) ends with its Wine session.
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
done

# Screenshots: the tests write .bmp (plain GDI); .png is what people open.
for bmp in "$ARTIFACTS"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null && rm -f "$bmp"
done

log "e2e: passed $passed, failed $failed"
[ -n "${E2E_RESULT_FILE:-}" ] && echo "$passed $failed" >"$E2E_RESULT_FILE"
[ "$failed" -eq 0 ]
