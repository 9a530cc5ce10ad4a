#!/usr/bin/env bash
# Takes the pictures of the user's guide (docs/guide/kestrel-guide/*.png) from the windows of the real kestrel.exe:
# runs the e2e programs that save them (each cut to its window, in build/e2e-artifacts/) and copies them over,
# without the metadata that would make an unchanged picture a change. Run it after changing a window, look at the
# pictures and at the guide, and commit them with the change.
#
#   scripts/guide-shots.sh
set -eu
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ARTIFACTS="$KESTREL_ROOT/build/e2e-artifacts"
PICTURES="$KESTREL_ROOT/docs/guide/kestrel-guide"

# The screenshot each picture comes from: <picture>=<screenshot>.
SHOTS=(
    prompt=prompt
    tray-menu=tray-menu
    setup-kestrel=setup-tab0-kestrel
    setup-ticked=setup-tab0-ticks
    setup-settings=setup-tab1-settings
    setup-advanced=setup-tab2-advanced
    setup-about=setup-tab3-about
    add-item=setup-add-item-dialog
    set-password=setup-set-password-dialog
)

"$KESTREL_ROOT/scripts/e2e.sh" e2e_gate e2e_setup || die "the e2e run failed: its pictures are not used"

mkdir -p "$PICTURES"
for shot in "${SHOTS[@]}"; do
    picture="${shot%%=*}"
    source="$ARTIFACTS/${shot#*=}.png"
    [ -f "$source" ] || die "no screenshot $source"
    convert "$source" -strip -define png:exclude-chunks=date,time "$PICTURES/$picture.png"
    target="$PICTURES/$picture.png"
    log "$picture.png: $(identify -format '%wx%h' "$target"), $(stat -c %s "$target") bytes"
done
