#!/usr/bin/env bash
# Renders the usage window off screen and saves it as docs/screenshot-usage.png.
# Needs a built debug tree (cmake --preset debug && cmake --build --preset debug --target ovik_ui).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OVIK_BUILD_DIR:-$root/build/debug}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat > "$work/shot.cpp" <<'CPP'
#include <QApplication>
#include "ui/UsageWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ovik::TfrmUsage window;
  window.show();
  QApplication::processEvents();
  return window.grab().save(argv[1]) ? 0 : 1;
}
CPP

g++ -std=c++20 -fPIC -I"$root/src" -I"$build/generated" "$work/shot.cpp" \
  $(pkg-config --cflags Qt6Widgets) "$build/src/ui/libovik_ui.a" \
  $(pkg-config --libs Qt6Widgets) -o "$work/shot"
QT_QPA_PLATFORM=offscreen "$work/shot" "$root/docs/screenshot-usage.png"
echo "wrote $root/docs/screenshot-usage.png"
