#!/usr/bin/env bash
# Captures the module's filter window, as the reference host shows it under
# Wine on a virtual display, to a PNG. Japanese texts are drawn with a font
# from Debian's packages put in place of the face name the module asks for.
#
# Usage: scripts/capture_window.sh WINDOWS_BUILD_DIR OUT.png [HOST OPTIONS...]
#   WINDOWS_BUILD_DIR  the cross build holding reference_host and vardelk.auf
#   OUT.png            the picture to write (320x450, the window's size)
#   HOST OPTIONS       passed to reference_host, e.g. --input clip.y4m
#                      --output out.y4m --scale 8; without --input a small
#                      test frame is made so the size read-out shows a value
# Needs wine, xvfb-run, ImageMagick's import and fonts-ipafont-gothic. The
# Wine prefix is $VARDELK_WINEPREFIX, by default WINDOWS_BUILD_DIR/wine-capture.
set -euo pipefail

if (($# < 2)); then
  sed -n '5,13p' "$0" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
out=$2
shift 2
host_exe=$build/reference_host/reference_host.exe
module=$build/plugin/vardelk.auf
for f in "$host_exe" "$module"; do
  [[ -f $f ]] || { echo "capture_window: $f is missing; build the Windows target first" >&2; exit 1; }
done

export WINEPREFIX=${VARDELK_WINEPREFIX:-$build/wine-capture}
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The module asks for "ＭＳ Ｐゴシック" (proportional) by name; map it and its
# fixed-pitch sibling to the IPA Gothic fonts. Registry files in UTF-16 keep
# the names intact whatever the console's character set.
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
  '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '' |
  iconv -f UTF-8 -t UTF-16 >"$work/fonts.reg"
wine regedit /S "$work/fonts.reg" 2>/dev/null
wineserver -w

has_input=0
for arg in "$@"; do [[ $arg == --input ]] && has_input=1; done
extra=("$@")
if ((has_input == 0)); then
  # A 64x48 frame of soft diagonal stripes in raw YC.
  python3 - "$work/frame.yc" <<'PY'
import struct, sys
with open(sys.argv[1], "wb") as f:
    for y in range(48):
        for x in range(64):
            f.write(struct.pack("<hhh", ((x * 3 + y * 2) % 200 + 30) * 16, (x - 32) * 8, (y - 24) * 8))
PY
  extra+=(--input "$work/frame.yc" --width 64 --height 48 --output "$work/out.yc")
fi

cat >"$work/run.sh" <<'SH'
#!/usr/bin/env bash
# Runs inside the virtual display: start the host, wait for its window, grab it.
set -euo pipefail
work=$1 out=$2; shift 2
# LC_ALL gives Wine code page 932, as on the editor's usual system.
LC_ALL=ja_JP.UTF-8 wine "$@" --show-window 20 >"$work/host.log" 2>&1 &
host=$!
for _ in $(seq 1 300); do
  grep -q 'window shown' "$work/host.log" 2>/dev/null && break
  kill -0 "$host" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q 'window shown' "$work/host.log"; then
  cat "$work/host.log" >&2
  kill "$host" 2>/dev/null || true
  exit 1
fi
sleep 1.5  # let the controls paint
import -display "$DISPLAY" -window root -crop 320x450+0+0 +repage "$out"
kill "$host" 2>/dev/null || true
wait "$host" 2>/dev/null || true
# Wine's helper processes go before the display does, or they report the
# lost X connection.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
SH
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 640x480x24" "$work/run.sh" "$work" "$out" \
  "$host_exe" --module "$module" "${extra[@]}"
wineserver -k 2>/dev/null || true
grep -v 'window shown' "$work/host.log" || true
echo "capture_window: wrote $out"
