#!/usr/bin/env bash
# Checks the Authenticode signatures of what the windows build made with the tests' throwaway certificate
# (scripts/lib.sh makes it, scripts/test.sh builds with it): kestrel.exe, the installer, the uninstaller as the
# installer writes it into Program Files (e2e_installer copies it to build/e2e-artifacts/uninstall.exe) and the MSI
# package.
#
#   scripts/check-signatures.sh    after scripts/test.sh's windows build and e2e run, or after scripts/e2e.sh
#                                  e2e_installer on a build/windows that signs with the test certificate
#
# Each file must verify against the throwaway certificate authority, be hashed with SHA-256, carry the product name
# and the vendor's web address, be signed by the company it names and agree with its own version information
# (product name, company, version); and a signed file with one byte changed must not verify. Prints one
# "PASS <check>" or "FAIL <check>: <why>" line per check; exits non-zero when one failed.
set -u
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

WINBUILD="$KESTREL_ROOT/build/windows"
ARTIFACTS="$KESTREL_ROOT/build/e2e-artifacts"
CA="$TEST_CERTIFICATE_DIR/ca.pem"

ensure_packages "${PKGS_WINDOWS_BUILD[@]}" "${PKGS_SIGNING_TESTS[@]}"

passed=0
failed=0
pass() {
    printf 'PASS %s\n' "$1"
    passed=$((passed + 1))
}
fail() {
    printf 'FAIL %s: %s\n' "$1" "$2"
    failed=$((failed + 1))
}

# What the build names the product, its publisher and version (CMakeLists.txt, through the generated header that
# the version resource is made from), and the address the program shows as the vendor's.
header="$WINBUILD/generated/version.h"
define() { sed -n "s/^#define $1 \"\(.*\)\"$/\1/p" "$header" 2>/dev/null; }
PRODUCT="$(define KESTREL_PRODUCT_NAME)"
COMPANY="$(define KESTREL_COMPANY_NAME)"
VERSION="$(define KESTREL_VERSION_STRING)"
WEBSITE="$(grep -rhoE 'kVendorWebsite = "[^"]*"' "$KESTREL_ROOT/src" | head -n 1 | cut -d'"' -f2)"

# A value of the version resource of a Windows program: its key and its value are UTF-16 strings one after the other.
version_info() { strings -el -n 1 "$1" | grep -x -A1 -m1 "$2" | sed -n 2p; }
# A property of a Windows Installer package.
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }

# The check of one signed file: prints what is wrong, nothing when all is right.
signature_problems() {
    local file="$1" report
    [ -f "$file" ] || { echo "no $file"; return; }
    if ! report="$(osslsigncode verify -CAfile "$CA" -in "$file" 2>&1)"; then
        echo "does not verify against the test certificate authority: $(grep -iE 'fail|error|mismatch' <<<"$report" |
            head -n 3 | tr '\n' ' ')"
        return
    fi
    local digest name url signer
    digest="$(sed -n 's/^[[:space:]]*Message digest algorithm[[:space:]]*: *//p' <<<"$report" | head -n 1)"
    name="$(sed -n 's/^[[:space:]]*Text description: //p' <<<"$report" | head -n 1)"
    url="$(sed -n 's/^[[:space:]]*URL description: //p' <<<"$report" | head -n 1)"
    # The first certificate listed is the signer's.
    signer="$(sed -n 's/^[[:space:]]*Subject: //p' <<<"$report" | head -n 1 | sed -n 's#.*/O=\([^/]*\).*#\1#p')"
    [ "$digest" = SHA256 ] || echo "hashed with $digest, not SHA256;"
    [ "$name" = "$PRODUCT" ] || echo "the signature names \"$name\", not \"$PRODUCT\";"
    [ "$url" = "$WEBSITE" ] || echo "the signature's address is \"$url\", not \"$WEBSITE\";"
    [ "$signer" = "$COMPANY" ] || echo "signed by \"$signer\", not \"$COMPANY\";"
    local own_name own_company own_version
    if [[ "$file" == *.msi ]]; then
        own_name="$(msi_property "$file" ProductName)"
        own_company="$(msi_property "$file" Manufacturer)"
        own_version="$(msi_property "$file" ProductVersion)"
    else
        own_name="$(version_info "$file" ProductName)"
        own_company="$(version_info "$file" CompanyName)"
        own_version="$(version_info "$file" ProductVersion)"
    fi
    [ "$own_name" = "$PRODUCT" ] || echo "the file calls the product \"$own_name\";"
    [ "$own_company" = "$COMPANY" ] || echo "the file names the company \"$own_company\";"
    [ "$own_version" = "$VERSION" ] || echo "the file's version is \"$own_version\", not $VERSION;"
}

check_signed() {
    local label="$1" file="$2" problems
    problems="$(signature_problems "$file")"
    if [ -z "$problems" ]; then
        pass "signature of $label"
    else
        fail "signature of $label" "$(tr '\n' ' ' <<<"$problems")"
    fi
}

if [ ! -f "$CA" ] || [ -z "$PRODUCT" ] || [ -z "$WEBSITE" ]; then
    fail "signatures" "no test certificate authority ($CA) or no windows build ($header): run scripts/test.sh"
    exit 1
fi

SETUP="$WINBUILD/kestrel-setup-$VERSION.exe"
MSI="$WINBUILD/kestrel-$VERSION.msi"
check_signed "kestrel.exe" "$WINBUILD/kestrel.exe"
check_signed "kestrel-guard.exe" "$WINBUILD/kestrel-guard.exe"
check_signed "the installer" "$SETUP"
check_signed "the installed uninstaller" "$ARTIFACTS/uninstall.exe"
check_signed "the MSI package" "$MSI"

# One byte changed in the middle of a signed file (its code or its packed contents, which the signature covers) must
# make it fail, or the checks above would pass on any file with a signature attached.
altered="$(mktemp -d)"
trap 'rm -rf "$altered"' EXIT
survivors=()
for file in "$WINBUILD/kestrel.exe" "$SETUP" "$MSI"; do
    if [ -z "$(signature_problems "$file")" ]; then
        copy="$altered/$(basename "$file")"
        cp "$file" "$copy"
        offset=$(($(stat -c %s "$copy") / 2))
        byte=$(od -An -tu1 -j "$offset" -N 1 "$copy" | tr -d ' ')
        printf '%b' "\\$(printf '%03o' $((byte ^ 0xff)))" | dd of="$copy" bs=1 seek="$offset" conv=notrunc status=none
        osslsigncode verify -CAfile "$CA" -in "$copy" >/dev/null 2>&1 && survivors+=("$(basename "$file")")
    else
        survivors+=("$(basename "$file") (does not verify even unaltered)")
    fi
done
if [ ${#survivors[@]} -eq 0 ]; then
    pass "signed files with one byte changed fail verification"
else
    fail "signed files with one byte changed fail verification" "still verifies: ${survivors[*]}"
fi

[ "$failed" -eq 0 ]
