#!/usr/bin/env bash
# Runs every test: installs what is missing, then
#   1. native build + unit tests (ctest),
#   2. the same under AddressSanitizer + UndefinedBehaviorSanitizer,
#   3. the windows build (kestrel.exe, the installers and the e2e programs), signed with a throwaway certificate,
#   4. the e2e programs under Wine on Xvfb (scripts/e2e.sh),
#   5. the signatures of kestrel.exe, the installers and the installed uninstaller (scripts/check-signatures.sh).
# Ends with one line "N passed, N failed" over all of them; a failed build counts as one failure.
# Exits non-zero when anything failed. Build directories under build/ are reused between runs.
set -u
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$KESTREL_ROOT" || exit 1

started=$(date +%s)
ensure_packages "${PKGS_NATIVE_BUILD[@]}" "${PKGS_WINDOWS_BUILD[@]}" "${PKGS_WINE[@]}" "${PKGS_INSTALLER[@]}" \
    "${PKGS_SIGNING_TESTS[@]}"

passed=0
failed=0
problems=()

step() { printf '\n[kestrel] ==== %s (%ds)\n' "$1" $(($(date +%s) - started)); }

# Builds a native preset and runs its ctest; adds ctest's own counts.
native_tests() {
    local preset="$1" logfile="$KESTREL_ROOT/build/$1-ctest.log"
    step "$preset: build"
    if ! build_preset "$preset"; then
        failed=$((failed + 1))
        problems+=("$preset build failed")
        return
    fi
    step "$preset: ctest"
    (cd "build/$preset" && ctest --output-on-failure -j "$JOBS" --timeout 300) 2>&1 | tee "$logfile"
    # "100% tests passed, 0 tests failed out of 42"
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$logfile" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        problems+=("$preset: ctest ran no test")
        return
    fi
    local f total
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + total - f))
    failed=$((failed + f))
    [ "$f" -eq 0 ] || problems+=("$preset: $f unit test(s) failed")
}

native_tests native
native_tests native-asan

step "windows: build"
# Signed as a release is, with a throwaway certificate made once under build/ (scripts/lib.sh).
if ! use_test_certificate; then
    failed=$((failed + 1))
    problems+=("no test signing certificate")
fi
# -k 0: build every target that can be built, so that one broken program does not hide the other tests.
if ! build_preset windows -k 0; then
    failed=$((failed + 1))
    problems+=("windows build failed")
fi

step "e2e under Wine"
result="$(mktemp)"
echo "0 0" >"$result"
E2E_RESULT_FILE="$result" bash "$KESTREL_ROOT/scripts/e2e.sh"
rc=$?
read -r p f <"$result"
rm -f "$result"
# The harness failing on its own (no prefix, no display) is a failure even when no test reported one.
[ "$rc" -ne 0 ] && [ "$f" -eq 0 ] && f=1
passed=$((passed + p))
failed=$((failed + f))
[ "$f" -eq 0 ] || problems+=("e2e: $f failure(s), see build/e2e-artifacts/")

step "signatures"
# After the e2e run, which copies out the uninstaller that the installer wrote into Program Files.
logfile="$KESTREL_ROOT/build/signatures.log"
bash "$KESTREL_ROOT/scripts/check-signatures.sh" 2>&1 | tee "$logfile"
rc=${PIPESTATUS[0]}
p=$(grep -c '^PASS ' "$logfile")
f=$(grep -c '^FAIL ' "$logfile")
[ "$rc" -ne 0 ] && [ "$f" -eq 0 ] && f=1
passed=$((passed + p))
failed=$((failed + f))
[ "$f" -eq 0 ] || problems+=("signatures: $f failure(s), see build/signatures.log")

step "done"
for problem in "${problems[@]}"; do log "$problem"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
