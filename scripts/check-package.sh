#!/usr/bin/env bash
# Checks a built .deb: lintian (no error, no warning, and every informational tag explained in
# packaging/lintian-notes.md), the files it installs, what it depends on, and that the programs it
# ships run from a scratch folder: the window offscreen, and firnadesk-cli's rehearse and timecode
# through their helpers in libexec. Usage: scripts/check-package.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "${1:?usage: check-package.sh PACKAGE.deb}")
cd "$(dirname "$0")/.."
fail=0
complain() {
  echo "package: $1"
  fail=1
}

# Lintian refuses nothing by default: errors and warnings fail here, and an informational tag must
# be one kept on purpose.
notes=packaging/lintian-notes.md
lintian_status=0
lintian_out=$(lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" 2>&1) || lintian_status=$?
[ -z "$lintian_out" ] || echo "$lintian_out"
[ "$lintian_status" -eq 0 ] || complain "lintian found errors or warnings"
while read -r tag; do
  grep -q -- "\`$tag\`" "$notes" || complain "lintian: informational tag $tag is not explained in $notes"
done < <(sed -n 's/^I: [^ ]*: \([^ ]*\).*/\1/p' <<<"$lintian_out" | sort -u)

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/firnadesk ./usr/bin/firnadesk-cli ./usr/bin/firnadesk-bench \
    ./usr/libexec/firnadesk/firnadesk-cli-rehearse ./usr/libexec/firnadesk/firnadesk-cli-report \
    ./usr/libexec/firnadesk/firnadesk-cli-timecode \
    ./usr/share/man/man1/firnadesk.1.gz ./usr/share/man/man1/firnadesk-cli.1.gz \
    ./usr/share/man/man1/firnadesk-bench.1.gz \
    ./usr/share/doc/firnadesk/changelog.gz ./usr/share/doc/firnadesk/copyright \
    ./usr/lib/udev/rules.d/99-firnadesk-ftdi.rules ./usr/share/applications/firnadesk.desktop \
    ./usr/share/icons/hicolor/scalable/apps/firnadesk.svg; do
  grep -q " $path\$" <<<"$contents" || complain "missing $path"
done
if grep -q " ./usr/bin/firnadesk-cli-rehearse\$" <<<"$contents"; then
  complain "the rehearse helper is in /usr/bin"
fi
for script in postinst postrm; do
  dpkg-deb --info "$deb" "$script" >/dev/null 2>&1 || complain "no $script script (udev reload)"
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "package: Depends: $depends"
# qt6-qpa-plugins: Qt only recommends its platform plugins, and the window needs them.
for lib in libqt6widgets6 qt6-qpa-plugins libavformat libavcodec libswresample libsdl2 libltc; do
  grep -q "$lib" <<<"$depends" || complain "Depends does not name $lib"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(zcat "$scratch/usr/share/doc/firnadesk/changelog.gz" | sed -n '1s/^firnadesk (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] ||
  complain "the changelog's latest entry is ${changelog_version:-unreadable}, the package $version"

if ! "$scratch/usr/bin/firnadesk-cli" --help >/dev/null 2>&1; then
  complain "the installed firnadesk-cli does not run"
fi
# The installed console itself, started offscreen on its own bench for a moment.
if ! QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$scratch/usr/bin/firnadesk" --simulate --quit-after 500 \
    >/dev/null 2>&1; then
  complain "the installed firnadesk does not start"
fi
# A one-cue rehearsal on the bench: firnadesk-cli must find its helper in ../libexec/firnadesk.
printf '0.2 1 1\n' >"$scratch/one-cue.txt"
if ! rehearsal=$(SDL_AUDIODRIVER=dummy "$scratch/usr/bin/firnadesk-cli" rehearse "$scratch/one-cue.txt" --simulate \
    2>&1); then
  echo "$rehearsal"
  complain "the installed firnadesk-cli rehearse does not run its helper from usr/libexec/firnadesk"
fi
# The timecode command runs in its own helper too: a missing file is refused by the helper itself.
timecode_status=0
timecode_out=$("$scratch/usr/bin/firnadesk-cli" timecode "$scratch/no-such.wav" 2>&1) || timecode_status=$?
if [ "$timecode_status" -ne 2 ] || ! grep -q "file not found" <<<"$timecode_out"; then
  echo "$timecode_out"
  complain "the installed firnadesk-cli timecode does not run its helper from usr/libexec/firnadesk"
fi

if [ "$fail" -ne 0 ]; then
  echo "package: check FAILED"
  exit 1
fi
echo "package: check passed ($(grep -c . <<<"$contents") entries, lintian clean)"
