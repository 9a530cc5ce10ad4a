#!/bin/sh
# Checks the include rules of src/ (run by ctest from the source folder):
#  - only files under a win32/ folder include the system's headers;
#  - includes run down only: app -> setup -> engine/store/gate/tray -> common -> platform. Of the four middle
#    folders only engine reaches sideways, into store (it loads and saves the items through the registry layer).
#    guard (the service) stands beside app at the top, over store, common and platform; nothing includes it.
# Prints every include that breaks a rule and fails when there is one.
status=0

if grep -rnE '#[[:space:]]*include[[:space:]]*[<"](windows|winuser|winreg|shellapi|commctrl)\.h' src \
    --include='*.h' --include='*.cpp' | grep -v '/win32/'; then
    echo "error: <windows.h> and the like belong under a win32/ folder"
    status=1
fi

# What each top-level folder of src/ may include besides itself.
allowed() {
    case "$1" in
    platform) echo "" ;;
    common) echo "platform" ;;
    store | gate | tray) echo "common platform" ;;
    engine) echo "store common platform" ;;
    setup) echo "engine store gate tray common platform" ;;
    app) echo "setup engine store gate tray common platform" ;;
    guard) echo "store common platform" ;;
    *) echo "?" ;;
    esac
}

for file in $(find src -name '*.h' -o -name '*.cpp' | sort); do
    folder=$(echo "$file" | cut -d/ -f2)
    ok=" $folder $(allowed "$folder") "
    for target in $(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([a-z_]+)\/.*/\1/p' "$file" | sort -u); do
        case "$ok" in
        *" $target "*) ;;
        *)
            echo "error: $file includes from $target/, above or beside $folder/"
            status=1
            ;;
        esac
    done
done
exit $status
