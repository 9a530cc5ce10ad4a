# shellcheck shell=bash disable=SC2034
# Shared helpers of the README's commands (sourced by run.sh, test.sh and e2e.sh; not run on its own).
# Each command installs what it needs, so it works on a bare Debian 12 machine as well as on a ready one.

KESTREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${KESTREL_JOBS:-2}"
# Wine keeps its user profile under $HOME; a bare CI environment may not set it.
if [ -z "${HOME:-}" ]; then
    HOME="$(getent passwd "$(id -u)" | cut -d: -f6)"
    export HOME
fi

# Debian packages per purpose.
# osslsigncode: the build signs what it makes with it when given a certificate (cmake/signing.cmake).
PKGS_WINDOWS_BUILD=(cmake ninja-build g++-mingw-w64-x86-64-win32 osslsigncode)
# libxml2-utils: xmllint, which checks the administrative template; clang-format checks the sources' format.
PKGS_NATIVE_BUILD=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libssl-dev libxml2-utils
    clang-format)
# Wine for the 64-bit exe (no 32-bit Wine needed), a virtual X server and the screenshot and input tools.
PKGS_WINE=(wine wine64 fonts-wine xvfb xauth xdotool x11-utils imagemagick)
PKGS_INSTALLER=(nsis wixl msitools)
# The tests' signing certificate (openssl) and the MSI package's properties (msiinfo), for checking the signatures.
PKGS_SIGNING_TESTS=(openssl msitools)

log() { printf '[kestrel] %s\n' "$*"; }
die() { printf '[kestrel] error: %s\n' "$*" >&2; exit 1; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        die "need root (or sudo) to run: $*"
    fi
}

# Installs the given Debian packages unless dpkg already has every one of them (a repeated run costs one
# dpkg-query, no network).
ensure_packages() {
    local installed missing=() pkg
    installed=" $(dpkg-query -W -f='${Package}:${db:Status-Status} ' "$@" 2>/dev/null) "
    for pkg in "$@"; do
        [[ "$installed" == *" $pkg:installed "* ]] || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    local apt=(apt-get -y -q -o DPkg::Lock::Timeout=300)
    as_root env DEBIAN_FRONTEND=noninteractive "${apt[@]}" update || die "apt-get update failed"
    # With the recommended packages: Wine's X11 driver loads the X extension libraries it recommends.
    as_root env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install "${missing[@]}" \
        || die "apt-get install failed: ${missing[*]}"
}

# Configures a preset once (its build directory is reused by later runs; ninja re-runs cmake when the
# CMake files or the globbed source lists change), then builds it with $JOBS jobs.
# Extra arguments go to ninja (e.g. -k 0 to build every target that can be built).
build_preset() {
    local preset="$1"; shift
    local dir="$KESTREL_ROOT/build/$preset"
    if [ ! -f "$dir/build.ninja" ]; then
        (cd "$KESTREL_ROOT" && cmake --preset "$preset") || return 1
    fi
    cmake --build "$dir" -j "$JOBS" -- "$@"
}

# Wine without its .NET and HTML engines (nothing here needs them and their installers would ask to download),
# and quiet.
wine_env() {
    export WINEPREFIX="$1"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
}

# Makes a Wine prefix at $1 if there is none: boots it and gives every process of the prefix Wine's virtual
# desktop of 1024x768 (plain Xvfb has no window manager, and without the virtual desktop a cross-process
# ShowWindow stalls for 2 s). It is named "Default", as the user's desktop is on Windows: a program started on
# "winsta0\default" (as the guard service starts Kestrel) lands on the same desktop as every other. A prefix
# ready from an earlier run is copied when $2 names one.
# What a ready prefix (and its template) records: the Wine it was made by and how it was set up, so that a
# template made otherwise is not taken.
prefix_stamp() {
    echo "$(wine --version 2>/dev/null) desktop=Default"
}

ensure_prefix() {
    local prefix="$1" template="${2:-}"
    [ -f "$prefix/.kestrel-ready" ] && return 0
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    if [ -n "$template" ] && [ -f "$template/.kestrel-ready" ] &&
        [ "$(cat "$template/.kestrel-ready")" = "$(prefix_stamp)" ]; then
        cp -a "$template" "$prefix" && return 0
        rm -rf "$prefix"
    fi
    log "making a Wine prefix in $prefix (about 15 s)"
    (
        wine_env "$prefix"
        # wineboot needs no display for the initial set-up; keep it from touching a real one.
        unset DISPLAY
        wineboot --init >/dev/null 2>&1
        wineserver -w
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
        wineserver -k
        wineserver -w
    ) || return 1
    [ -f "$prefix/system.reg" ] || { log "wineboot did not make a prefix in $prefix"; return 1; }
    prefix_stamp >"$prefix/.kestrel-ready"
    # Saved for the next run; a failed copy only costs that run a wineboot.
    if [ -n "$template" ]; then
        rm -rf "$template.tmp"
        mkdir -p "$(dirname "$template")"
        if cp -a "$prefix" "$template.tmp"; then
            rm -rf "$template"
            mv "$template.tmp" "$template"
        else
            rm -rf "$template.tmp"
        fi
    fi
}

# Starts Xvfb on a free display; sets XVFB_PID and DISPLAY.
start_xvfb() {
    local geometry="${1:-1280x1024x24}" fdfile
    fdfile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    local tries
    for tries in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$fdfile" ]; then
        rm -f "$fdfile"
        kill "$XVFB_PID" 2>/dev/null
        XVFB_PID=
        return 1
    fi
    DISPLAY=":$(tr -dc '0-9' <"$fdfile")"
    export DISPLAY
    rm -f "$fdfile"
}

stop_xvfb() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=
    fi
}

# Ends the Wine session of $WINEPREFIX (every program in it) and our Xvfb: what a script leaves behind at exit.
stop_wine_and_xvfb() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
    stop_xvfb
}

# The tests sign the windows build with a throwaway certificate, so that they check the signatures a release
# carries: a certificate authority of their own and a code-signing certificate it issued to the publisher, packed
# with its key into a PKCS#12 file. Made once in build/test-certificate/ and kept for later runs (a new one would
# make the build sign everything again); made anew only when it is about to expire. Exports the variables that the
# windows build signs with; the checks verify against the authority's certificate, ca.pem.
TEST_CERTIFICATE_DIR="$KESTREL_ROOT/build/test-certificate"
use_test_certificate() {
    local dir="$TEST_CERTIFICATE_DIR"
    if [ ! -f "$dir/signer.pfx" ] || ! openssl x509 -checkend 86400 -noout -in "$dir/signer.pem" >/dev/null 2>&1; then
        log "making a throwaway signing certificate in $dir"
        rm -rf "$dir.tmp"
        mkdir -p "$dir.tmp" && chmod 700 "$dir.tmp" || return 1
        (
            cd "$dir.tmp" || exit 1
            openssl rand -hex 16 | tr -d '\n' >password &&
                openssl req -x509 -newkey rsa:2048 -noenc -keyout ca.key -out ca.pem -days 3650 \
                    -subj "/CN=Kestrel test signing authority (throwaway)" \
                    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" &&
                openssl req -new -newkey rsa:2048 -noenc -keyout signer.key -out signer.csr -subj "/O=ORV/CN=ORV" &&
                printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
                    "extendedKeyUsage=codeSigning" "subjectKeyIdentifier=hash" "authorityKeyIdentifier=keyid" >signer.ext &&
                openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" \
                    -days 3650 -extfile signer.ext -out signer.pem &&
                openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -name ORV -out signer.pfx \
                    -passout file:password
        ) >"$dir.tmp/openssl.log" 2>&1 || { log "openssl failed: see $dir.tmp/openssl.log"; return 1; }
        rm -rf "$dir"
        mv "$dir.tmp" "$dir"
    fi
    export KESTREL_SIGN_PFX="$dir/signer.pfx"
    KESTREL_SIGN_PASSWORD="$(cat "$dir/password")"
    export KESTREL_SIGN_PASSWORD
    # No time stamps in the tests: they would need a time-stamp server on the network.
    export KESTREL_SIGN_TIMESTAMP=
    # The build takes the certificate when it is configured: a build/windows configured without it (by
    # scripts/run.sh, say) would go on building unsigned. Configuring again changes nothing else.
    if [ -f "$KESTREL_ROOT/build/windows/build.ninja" ]; then
        (cd "$KESTREL_ROOT" && cmake --preset windows >"$KESTREL_ROOT/build/windows-configure.log" 2>&1) ||
            { log "configuring build/windows failed: see build/windows-configure.log"; return 1; }
    fi
}
