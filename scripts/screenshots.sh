#!/usr/bin/env bash
# Takes pictures of the real window over real repositories under a virtual display: every tab, the
# command output sheet, an alert, the open menus and the empty state, in light and dark. They land in
# the folder given as the first argument (screenshots/ by default). Installs missing Debian packages
# first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target korvel-screenshots
folder=${1:-screenshots}
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
# The pictures are drawn through the X server like the application does.
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1000x24" ./build/tests/korvel-screenshots "$folder"
echo "Pictures in $folder:"
ls "$folder"
