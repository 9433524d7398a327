#!/usr/bin/env bash
# Installs what the build needs (Debian 12, as root), configures and builds into build/.
# Safe to run again: installed packages are skipped and the build is incremental.
#   scripts/setup.sh --packages-only   installs packages and locales, builds nothing
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libsdl2-dev
  libcli11-dev nlohmann-json3-dev libltc-dev locales
  xvfb xauth xdotool time fonts-dejavu-core fonts-liberation
  help2man lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The run log stamps its lines in the user's date and time formats; its tests need these locales.
# Generated only when missing (locale-gen rebuilds them all and takes a while).
LOCALES=(ru_RU.UTF-8 en_US.UTF-8)
normalized() { tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/'; }
available=$(locale -a 2>/dev/null | normalized || true)
generate=0
for l in "${LOCALES[@]}"; do
  grep -qx "$(normalized <<<"$l")" <<<"$available" && continue
  generate=1
  if [ ! -w /etc/locale.gen ]; then
    echo "== cannot enable locale $l (no write access to /etc/locale.gen): its tests will be skipped"
    generate=0
    break
  fi
  if grep -q "^# *$l UTF-8" /etc/locale.gen; then
    sed -i "s/^# *$l UTF-8/$l UTF-8/" /etc/locale.gen
  elif ! grep -q "^$l UTF-8" /etc/locale.gen; then
    echo "$l UTF-8" >>/etc/locale.gen
  fi
done
if [ "$generate" = 1 ]; then
  echo "== generating locales: ${LOCALES[*]}"
  locale-gen
fi

[ "${1:-}" = "--packages-only" ] && exit 0

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}
# Warnings are errors here and in CI; a plain cmake build leaves them warnings.
# Release: what a packager builds, so that what the optimiser warns about is caught here too.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFIRNADESK_WERROR=ON "$@"
# BUILD_TARGETS names what to build (the demo needs only the console); by default everything.
if [ -n "${BUILD_TARGETS:-}" ]; then
  # shellcheck disable=SC2086  # a list of target names
  cmake --build "$BUILD_DIR" -j "$JOBS" --target $BUILD_TARGETS
else
  cmake --build "$BUILD_DIR" -j "$JOBS"
fi
