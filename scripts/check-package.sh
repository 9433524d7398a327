#!/usr/bin/env bash
# Checks a built .deb: the files it installs, what it depends on, and that the programs it ships
# run from a scratch folder. Usage: scripts/check-package.sh PACKAGE.deb
set -euo pipefail
deb=${1:?usage: check-package.sh PACKAGE.deb}
fail=0
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/firnadesk ./usr/bin/firnadesk-cli ./usr/bin/firnadesk-cli-rehearse ./usr/bin/firnadesk-bench \
    ./usr/lib/udev/rules.d/99-firnadesk-ftdi.rules ./usr/share/applications/firnadesk.desktop \
    ./usr/share/icons/hicolor/scalable/apps/firnadesk.svg; do
  if ! grep -q " $path\$" <<<"$contents"; then
    echo "package: missing $path"
    fail=1
  fi
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: Depends: $depends"
for lib in libqt6widgets6 libavformat libavcodec libswresample libsdl2; do
  if ! grep -q "$lib" <<<"$depends"; then
    echo "package: Depends does not name $lib"
    fail=1
  fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
if ! "$scratch/usr/bin/firnadesk-cli" --help >/dev/null 2>&1; then
  echo "package: the installed firnadesk-cli does not run"
  fail=1
fi
# The installed console itself, started offscreen on its own bench for a moment.
if ! QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$scratch/usr/bin/firnadesk" --simulate --quit-after 500 \
    >/dev/null 2>&1; then
  echo "package: the installed firnadesk does not start"
  fail=1
fi
if [ "$fail" -ne 0 ]; then
  echo "package: layout check FAILED"
  exit 1
fi
echo "package: layout check passed ($(grep -c . <<<"$contents") entries)"
