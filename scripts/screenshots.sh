#!/usr/bin/env bash
# Draws the window on an X server in memory (Xvfb) and saves it as PNG files in docs/: the
# English window (docs/main-window.png, the README's), the Russian one (docs/main-window-ru.png)
# and the whole database with its table list (docs/main-window-database.png), over the demo
# files. Usage: scripts/screenshots.sh [BUILD_DIR]
# (default build/; the program and the demo files are built there when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
bash scripts/install-deps.sh screenshots
[ -f "$dir/CMakeCache.txt" ] || bash scripts/build.sh plain configure
cmake --build "$dir" --target quorvath-gui demo_files -j2
program=$(pwd)/$dir/app/gui/quorvath-gui
examples=$(pwd)/$dir/examples
# The window's own settings folder, filled with the demo's choices; the user's stays untouched.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
mkdir -p "$config/quorvath"
cat >"$config/quorvath/Korvane.conf" <<CONF
[Config]
DictionaryFileName=$examples/demo.def
BaseFileName=$examples/clients.dbt
SQLFileName=$HOME/scripts/clients.sql
ImpTableName=CLIENTS
CommitPeriod=1000
CreateDDL=1
Target=postgresql
CONF
shoot() {  # LANG, output file, further options
  # Each shot starts from the demo's choices: the program writes its settings back at the end.
  cp "$config/quorvath/Korvane.conf" "$config/demo.conf"
  XDG_CONFIG_HOME=$config LC_ALL= LANG=$1 xvfb-run -a -s "-screen 0 1280x800x24" \
    "$program" --screenshot "$(pwd)/$2" "${@:3}"
  cp "$config/demo.conf" "$config/quorvath/Korvane.conf"
  echo "Saved $2"
}
shoot en_US.UTF-8 docs/main-window.png
shoot ru_RU.UTF-8 docs/main-window-ru.png
shoot en_US.UTF-8 docs/main-window-database.png --database
