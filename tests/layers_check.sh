#!/usr/bin/env bash
# Fails when a library includes a header of a layer it may not see. The build already refuses a
# header of a library that is not linked; this also catches one reached some other way.
set -euo pipefail
cd "$(dirname "$0")/.."

# folder: the folders whose headers it may include
declare -A allowed=(
    [settings]="settings"
    [output]="output"
    [engine]="engine settings"
    [resources]="resources"
    [ui]="ui engine settings resources"
)

status=0
for folder in "${!allowed[@]}"; do
    while IFS=: read -r file line include; do
        target=${include%%/*}
        [[ " ${allowed[$folder]} " == *" $target "* ]] && continue
        echo "$file:$line: $folder/ may not include $include" >&2
        status=1
    done < <(grep -rnoE '^#include "[a-z]+/[^"]+"' --include='*.h' --include='*.cpp' "$folder" \
        | sed -E 's/#include "([^"]+)"/\1/')
done
# Inside ui/: the dialog framework knows nothing of Kestrin's windows, and a face (qt/, win32/)
# knows nothing of the other. Kestrin's windows see the face the build chose as "ui/face/", and
# only their own face's part of them sees a face by name; so does the framework's portable part,
# written once against either face. folder: the ui/ folders whose headers it
# may include.
declare -A ui_allowed=(
    [ui/framework]="ui/framework ui/face"
    [ui/framework/qt]="ui/framework ui/framework/qt"
    [ui/framework/win32]="ui/framework ui/framework/win32"
    [ui/windows]="ui/framework ui/face ui/windows"
    [ui/windows/qt]="ui/framework ui/framework/qt ui/face ui/windows"
    [ui/windows/win32]="ui/framework ui/framework/win32 ui/face ui/windows"
)
for folder in "${!ui_allowed[@]}"; do
    [[ -d $folder ]] || continue
    while IFS=: read -r file line include; do
        target=${include%/*}
        [[ " ${ui_allowed[$folder]} " == *" $target "* ]] && continue
        echo "$file:$line: $folder/ may not include $include" >&2
        status=1
    done < <(grep -noE '^#include "ui/[^"]+"' "$folder"/*.h "$folder"/*.cpp 2>/dev/null \
        | sed -E 's/#include "([^"]+)"/\1/')
done
exit $status
