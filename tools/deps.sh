#!/bin/sh
# Installs the Debian 12 packages that building, running and testing need, and any named as
# arguments, skipping what is already there. Runs apt-get as root directly, otherwise through sudo.
set -eu

packages="cmake ninja-build g++ pkg-config
qtbase5-dev qtdeclarative5-dev qtdeclarative5-dev-tools qtquickcontrols2-5-dev libqt5svg5-dev
qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-controls2 qml-module-qtquick-templates2
qml-module-qtquick-layouts qml-module-qtgraphicaleffects qml-module-qtquick-dialogs
qml-module-qt-labs-settings qml-module-qttest qml-module-qtqml qml-module-qtqml-models2 libqt5svg5
xvfb xauth libgl1-mesa-dri dbus $*"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
