#!/usr/bin/env bash
# Measures Kestrel (not a test: nothing here passes or fails on a figure) and prints a table.
#
#   scripts/bench.sh            build, measure (about 6 minutes), print the table
#   scripts/bench.sh --write    the same, and put the table into docs/performance.md
#   scripts/bench.sh --quick    fewer cycles and a 10 s idle period, to try the script (not with --write)
#
# What runs:
#   1. natively, against the fake platform (Google Benchmark, bench/*.cpp): the watcher's tick with 1000 rules
#      and 100 allow entries, the load and save of 1000 stored items;
#   2. under Wine on a private Xvfb display, bench_wine.exe (bench/wine/bench_wine.cpp) beside kestrel.exe: the
#      engine with the real registry and desktop, whether Wine raises win-events, start-up, idle CPU, lock
#      latency by the tick and with the foreground event, unlock, memory, handles and windows after start and
#      after 200 lock/unlock cycles, and the CPU under a storm of title changes in the background
#      (helper_storm.exe, from tests/e2e);
#   3. the size of kestrel.exe and the DLLs it imports.
# Build directories: build/bench-native (Release) and build/windows (as scripts/test.sh); the Wine prefix
# build/bench-prefix is made fresh each run. KESTREL_BENCH_NATIVE_DIR, KESTREL_BENCH_WINDOWS_DIR and
# KESTREL_BENCH_PREFIX choose others.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$KESTREL_ROOT"

WRITE=0
QUICK=0
for arg in "$@"; do
    case "$arg" in
    --write) WRITE=1 ;;
    --quick) QUICK=1 ;;
    *) die "unknown argument: $arg (use --write or --quick)" ;;
    esac
done
[ "$WRITE" -eq 1 ] && [ "$QUICK" -eq 1 ] && die "--quick figures do not go into docs/performance.md"

NATIVE_DIR="${KESTREL_BENCH_NATIVE_DIR:-$KESTREL_ROOT/build/bench-native}"
WIN_DIR="${KESTREL_BENCH_WINDOWS_DIR:-$KESTREL_ROOT/build/windows}"
PREFIX="${KESTREL_BENCH_PREFIX:-$KESTREL_ROOT/build/bench-prefix}"
TEMPLATE="${KESTREL_PREFIX_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrel/e2e-prefix-template}"
OUT="$KESTREL_ROOT/build/bench-results"
DOC="$KESTREL_ROOT/docs/performance.md"
if [ "$QUICK" -eq 1 ]; then
    WINE_ARGS=(--cycles 20 --event-cycles 20 --idle-seconds 10 --startups 2 --storm-seconds 5 --guard-cycles 3)
else
    WINE_ARGS=(--cycles 200 --event-cycles 200 --idle-seconds 60 --startups 5 --storm-seconds 10)
fi

ensure_packages "${PKGS_NATIVE_BUILD[@]}" "${PKGS_WINDOWS_BUILD[@]}" "${PKGS_WINE[@]}" "${PKGS_INSTALLER[@]}"

trap stop_wine_and_xvfb EXIT
trap 'exit 130' INT TERM

rm -rf "$OUT"
mkdir -p "$OUT"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

# ---- build
log "native build (Release) in $NATIVE_DIR"
if [ ! -f "$NATIVE_DIR/build.ninja" ]; then
    cmake -S "$KESTREL_ROOT" -B "$NATIVE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || die "native configure failed"
fi
cmake --build "$NATIVE_DIR" -j "$JOBS" --target kestrel_bench || die "the native benchmarks did not build (is libbenchmark-dev installed?)"

log "windows build in $WIN_DIR"
if [ ! -f "$WIN_DIR/build.ninja" ]; then
    cmake -S "$KESTREL_ROOT" -B "$WIN_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$KESTREL_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null || die "windows configure failed"
fi
win_targets=(kestrel kestrel-guard bench_wine bench_minimal helper_storm)
# The installer's size goes into the table too; its target exists only where makensis was found.
grep -q '^build installer:' "$WIN_DIR/build.ninja" 2>/dev/null && win_targets+=(installer)
cmake --build "$WIN_DIR" -j "$JOBS" --target "${win_targets[@]}" || die "kestrel.exe or bench_wine.exe did not build"

# ---- native benchmarks: the median of 5 repetitions, CPU time
log "native benchmarks (fake platform)"
"$NATIVE_DIR/kestrel_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv >"$OUT/native.csv" 2>"$OUT/native.stderr" || die "kestrel_bench failed (see $OUT/native.stderr)"

# ---- Wine
log "Wine: prefix $PREFIX"
rm -rf "$PREFIX"
ensure_prefix "$PREFIX" "$TEMPLATE" || die "could not make a Wine prefix in $PREFIX"
start_xvfb || die "could not start Xvfb"
wine_env "$PREFIX"
wineserver -p >/dev/null 2>&1
log "Wine: bench_wine.exe ${WINE_ARGS[*]} on DISPLAY=$DISPLAY (progress below)"
# Output into files, not a pipe: the prefix's background services inherit the descriptors and keep a pipe open.
: >"$OUT/wine.stderr"
(cd "$WIN_DIR" && timeout -k 10 1200 wine bench_wine.exe "${WINE_ARGS[@]}" </dev/null >"$OUT/wine.out" 2>>"$OUT/wine.stderr") &
bench_pid=$!
tail -n +1 -F "$OUT/wine.stderr" --pid "$bench_pid" 2>/dev/null | grep --line-buffered -a '^\[bench_wine\]' | sed -u 's/\r$//'
wait "$bench_pid" || log "bench_wine.exe ended with code $? (see $OUT/wine.stderr)"
wine_version="$(wine --version 2>/dev/null)"
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
stop_xvfb
tr -d '\r' <"$OUT/wine.out" >"$OUT/wine.txt"

# ---- reading the figures
# A figure of bench_wine ("-" when missing), with printf format $2.
w() {
    local value
    value="$(awk -v k="$1" '$1 == "RESULT" && $2 == k { print $3 }' "$OUT/wine.txt" | tail -n 1)"
    if [ -z "$value" ]; then echo "-"; else printf "${2:-%.0f}" "$value"; fi
}
# The median CPU time of a native benchmark in µs ("-" when missing).
nb() {
    awk -F, -v k="\"$1_median\"" '$1 == k {
        t = $4; u = $5; gsub(/"/, "", u)
        if (u == "ns") t /= 1000; else if (u == "ms") t *= 1000; else if (u == "s") t *= 1000000
        printf (t < 10 ? "%.2f" : "%.1f"), t; found = 1 }
        END { if (!found) printf "-" }' "$OUT/native.csv"
}
# The ratio of two figures in per cent ("-" when one is missing).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", 100 * a / b }'; }
# a - b, signed ("-" when one is missing).
diff_of() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-") print "-"; else printf "%+g", a - b }'; }

exe="$WIN_DIR/kestrel.exe"
exe_size="$(stat -c %s "$exe")"
dlls="$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }' | sort -f | paste -sd ' ' | sed 's/ /, /g')"
setup_size=""
for f in "$WIN_DIR"/kestrel-setup-*.exe; do [ -e "$f" ] && setup_size="$(basename "$f"): $(stat -c %s "$f") bytes"; done

cpu_model="$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
mem_total="$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"
command="scripts/bench.sh$([ "$WRITE" -eq 1 ] && echo ' --write')"
[ "$QUICK" -eq 1 ] && command="scripts/bench.sh --quick"

stats_row() { # label, figure name, unit format
    printf '| %s | %s | %s | %s | %s | %s |\n' "$1" "$(w "$2_n")" "$(w "$2_min" "$3")" "$(w "$2_median" "$3")" \
        "$(w "$2_p95" "$3")" "$(w "$2_max" "$3")"
}
resources_row() { # label, figure prefix
    printf '| %s | %s | %s | %s | %s |\n' "$1" "$(w "$2_private_kb")" "$(w "$2_working_set_kb")" "$(w "$2_handles")" \
        "$(w "$2_windows")"
}

{
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') with \`$command\` (Kestrel $(sed -n 's/^project(kestrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt), commit $(git describe --always --dirty 2>/dev/null || echo "?"))."
    echo
    echo "Machine: $(nproc) CPUs ($cpu_model), $mem_total memory, $(uname -sr), $wine_version, Xvfb."
    echo "Load average (1, 5, 15 min) before: $load_before; after: $load_after. The machine is shared with other"
    echo "builds, so times above the median are partly other people's work."
    echo
    echo "**kestrel.exe under Wine** (bench_wine.exe beside it; times in ms)"
    echo
    echo "| measure | trials | min | median | p95 | max |"
    echo "|---|---|---|---|---|---|"
    stats_row "lock latency, tick only: matching window in the foreground → hidden" lock_latency_ms "%.1f"
    stats_row "lock latency with the foreground event: matching window in the foreground, event raised → hidden" event_lock_latency_ms "%.1f"
    stats_row "unlock: OK in the prompt with the password → window shown again" lock_unlock_ms "%.1f"
    stats_row "start-up: CreateProcess → main window \"Kestrel 2004\"" startup_main_window_ms "%.0f"
    stats_row "start-up: CreateProcess → the window already in the foreground hidden" startup_first_lock_ms "%.0f"
    stats_row "guard: kestrel.exe killed → a matching window in the foreground hidden by the copy started again" guard_restart_hidden_ms "%.0f"
    echo
    echo "Kestrel Guard (kestrel-guard.exe as the service), $(w guard_idle_seconds "%.0f") s idle: $(w guard_idle_cpu_ms) ms of" \
        "CPU, while the kestrel.exe it keeps used $(w guard_copy_idle_cpu_ms) ms; its private memory $(w guard_private_kb) KB."
    echo
    echo "Idle, $(w idle_seconds "%.0f") s with 20 rules and no matching window: kestrel.exe used $(w idle_cpu_ms) ms of CPU" \
        "($(w idle_cpu_percent "%.2f") % of one core; from Linux's /proc, as Wine's GetProcessTimes does not give another" \
        "process's time). The wine server, which does part of every window call's work for all the prefix's" \
        "processes, used $(w idle_wineserver_cpu_ms) ms in the same period. In the same run, bench_minimal.exe, which once" \
        "a second only reads the foreground window and its title and looks for a second copy, used" \
        "$(w idle_minimal_cpu_ms) ms: kestrel.exe idles at $(w idle_ratio_to_minimal "%.2f") times that floor."
    echo
    echo "Resources of kestrel.exe (private memory: Wine's PagefileUsage = Linux RssAnon, as PrivateUsage is 0 under"
    echo "Wine; handles: from the system handle list, as GetProcessHandleCount gives 0 for another process under"
    echo "Wine; windows: top-level and child, as GetGuiResources gives 0 under Wine):"
    echo
    echo "| when | private KB | working set KB | handles | windows |"
    echo "|---|---|---|---|---|"
    resources_row "after start (2 s)" after_start
    resources_row "after $(w idle_seconds "%.0f") s idle" after_idle
    resources_row "after $(w warm_cycles) lock/unlock cycles" after_warm_cycles
    resources_row "after $(w cycles) lock/unlock cycles ($(w lock_cycle_failures) failed)" after_cycles
    echo
    echo "Growth from cycle $(w warm_cycles) to cycle $(w cycles): private memory" \
        "$(diff_of "$(w after_cycles_private_kb)" "$(w after_warm_cycles_private_kb)") KB, handles" \
        "$(diff_of "$(w after_cycles_handles)" "$(w after_warm_cycles_handles)"), windows" \
        "$(diff_of "$(w after_cycles_windows)" "$(w after_warm_cycles_windows)")."
    echo
    echo "Win-events that Wine raises itself: $(w winevent_foreground_events) \`EVENT_SYSTEM_FOREGROUND\` for" \
        "$(w winevent_foreground_changes) foreground changes, $(w winevent_title_events) \`EVENT_OBJECT_NAMECHANGE\` for" \
        "$(w winevent_title_changes) title changes (out-of-context hooks in bench_wine.exe); so bench_wine.exe raises" \
        "them itself for the event row above, as Windows would ($(w event_lock_cycle_failures) of" \
        "$(w event_lock_cycles) event cycles failed)."
    echo
    echo "Title storm: while a program in the background changed its title and raised \`EVENT_OBJECT_NAMECHANGE\`" \
        "$(w storm_events_per_second) times a second for $(w storm_seconds "%.1f") s ($(w storm_events_seen) events," \
        "counted by a hook of bench_wine.exe on every process), kestrel.exe used $(w storm_cpu_ms) ms of CPU" \
        "($(w storm_cpu_percent "%.2f") % of one core; from Linux's /proc). The wine server used" \
        "$(w storm_wineserver_cpu_ms) ms in the same period, most of it for the storm's own calls."
    echo
    echo "**The engine in bench_wine.exe, with Wine's real registry and desktop** (times in ms)"
    echo
    echo "| measure | trials | min | median | p95 | max |"
    echo "|---|---|---|---|---|---|"
    stats_row "watcher tick, 1000 rules, no allow entry" engine_tick_1000r_0a_ms "%.2f"
    stats_row "watcher tick, 1000 rules, no allow entry, any letter case (\`AnyCase\`)" engine_tick_1000r_0a_anycase_ms "%.2f"
    stats_row "watcher tick, 1000 rules, 100 allow entries" engine_tick_1000r_100a_ms "%.2f"
    stats_row "load of 1000 stored items (\`GetWindows\`)" engine_load_1000_ms "%.1f"
    stats_row "save of 1000 items (\`SaveWindows\`)" engine_save_1000_ms "%.1f"
    echo
    echo "One \`FindWindowA\` for a title no window has: $(w findwindow_us) µs (with $(w findwindow_top_level_windows) top-level windows on the desktop)."
    echo
    echo "**Native, against the fake platform** (Google Benchmark, median CPU time of 5 repetitions, µs)"
    echo
    echo "| benchmark | µs |"
    echo "|---|---|"
    echo "| watcher tick, 20 rules, no allow entry, no match | $(nb BM_TickNoMatch/rules:20/allow:0) |"
    echo "| watcher tick, 1000 rules, no allow entry, no match | $(nb BM_TickNoMatch/rules:1000/allow:0) |"
    echo "| watcher tick, 1000 rules, no allow entry, no match, any letter case (\`AnyCase\`) | $(nb BM_TickNoMatchAnyCase/rules:1000) |"
    echo "| watcher tick, 1000 rules, 100 allow entries, no match | $(nb BM_TickNoMatch/rules:1000/allow:100) |"
    echo "| watcher tick, 1000 rules, 100 allow entries, last rule matches an allowed class | $(nb BM_TickMatchAllowed/rules:1000/allow:100) |"
    echo "| load of 1000 stored items (\`GetWindows\`) | $(nb BM_GetWindows/items:1000) |"
    echo "| save of 1000 items (\`SaveWindows\`) | $(nb BM_SaveWindows/items:1000) |"
    echo
    echo "**Size**: kestrel.exe $exe_size bytes ($(awk -v s="$exe_size" 'BEGIN { printf "%.0f", s / 1024 }') KB)," \
        "statically linked; it imports only system DLLs: $dlls.${setup_size:+ Installer $setup_size.}"
} >"$OUT/table.md"

echo
cat "$OUT/table.md"
echo

if [ "$WRITE" -eq 1 ]; then
    [ -f "$DOC" ] || die "$DOC is missing"
    grep -q '<!-- bench:begin -->' "$DOC" && grep -q '<!-- bench:end -->' "$DOC" ||
        die "$DOC has no <!-- bench:begin --> ... <!-- bench:end --> block"
    awk -v table="$OUT/table.md" '
        /<!-- bench:begin -->/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
        /<!-- bench:end -->/ { skip = 0 }
        !skip { print }' "$DOC" >"$DOC.tmp" && mv "$DOC.tmp" "$DOC"
    log "wrote the figures into docs/performance.md"
fi
log "raw figures in $OUT"
