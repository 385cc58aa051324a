#!/usr/bin/env bash
# The release forms, checked as a user receives them: `cmake --install` of the
# native build, the Debian package unpacked into a scratch root (its program,
# manual page and declared dependencies), and the Windows zip (the module byte
# for byte, the guides, the licence). Needs the native and Windows builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
source "$root/testing/skip.sh"

fail() { echo "release: $*" >&2; exit 1; }

deb=$("$root/scripts/package.sh" deb 2>"$scratch/package.log") || { cat "$scratch/package.log" >&2; fail "no .deb"; }
zip=$("$root/scripts/package.sh" zip 2>"$scratch/package.log") || { cat "$scratch/package.log" >&2; fail "no zip"; }
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$zip")" = "vardelk-$version-win32.zip" ] || fail "zip $zip does not carry the version $version"

# --- cmake --install
prefix=$scratch/prefix
cmake --install "$out/native" --prefix "$prefix" >/dev/null
for f in bin/vardelk share/man/man1/vardelk.1 share/doc/vardelk/README.md share/doc/vardelk/LICENSE; do
  [ -f "$prefix/$f" ] || fail "cmake --install did not install $f"
done

# --- the Debian package, unpacked as it would be installed
dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr
vardelk=$usr/bin/vardelk
first=$("$vardelk" --version | head -n 1)
[ "$first" = "vardelk $version" ] || fail "installed vardelk --version says '$first', the package is $version"
stats=$("$vardelk" -i builtin:demo -s 8 -q --stats -)
grep -Eq '^total,[1-9][0-9]*,' <<<"$stats" || fail "the short job printed no total: $stats"
for f in doc/vardelk/copyright doc/vardelk/changelog.gz doc/vardelk/README.md man/man1/vardelk.1.gz; do
  [ -f "$usr/share/$f" ] || fail "the package lacks /usr/share/$f"
done

# The frei0r effect where hosts look for it, exporting only the frei0r entry points, found by ffmpeg.
effect=$usr/lib/frei0r-1/vardelk.so
[ -f "$effect" ] || fail "the package lacks /usr/lib/frei0r-1/vardelk.so"
[ -f "$usr/share/kdenlive/effects/frei0r_vardelk.xml" ] || fail "the package lacks Kdenlive's description of the effect"
others=$(nm -D --defined-only "$effect" | awk '{print $3}' | grep -v '^f0r_' || true)
[ -z "$others" ] || fail "vardelk.so exports more than the frei0r entry points: $others"
FREI0R_PATH=$usr/lib/frei0r-1 ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=64x48 -frames:v 1 \
  -vf "frei0r=vardelk:0.3667" -f null - || fail "ffmpeg cannot run the packaged frei0r effect"

# Every library the program loads must come from a package the .deb depends on.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in $(objdump -p "$vardelk" | awk '/NEEDED/ {print $2}'); do
  path=$(ldd "$vardelk" | awk -v lib="$lib" '$1 == lib {print $3}')
  owner=$({ dpkg -S "$path" 2>/dev/null || dpkg -S "/usr$path"; } | head -n 1 | cut -d: -f1)
  [[ ", $depends" == *", $owner "* || ", $depends," == *", $owner,"* ]] ||
    fail "$lib comes from $owner, which the package does not depend on ($depends)"
done

# The manual page renders without a warning and documents every option --help lists.
page=$usr/share/man/man1/vardelk.1.gz
MANWIDTH=80 LC_ALL=C man -l --warnings "$page" >"$scratch/page.txt" 2>"$scratch/warnings.txt"
[ ! -s "$scratch/warnings.txt" ] || { cat "$scratch/warnings.txt" >&2; fail "man -l warns about the page"; }
for command in "" search; do
  for option in $("$vardelk" $command --help | grep -oE '^ +(-[a-z], ?)?--[a-z][a-z0-9-]*' | grep -oE -- '--[a-z0-9-]+'); do
    grep -qE -- "(^|[ ,])$option( |,|$)" "$scratch/page.txt" ||
      fail "the manual page does not document ${command:+$command }$option"
  done
done
grep -q '^SEARCH COMMAND' "$scratch/page.txt" || fail "the manual page has no section for vardelk search"
"$vardelk" --help | grep -q 'vardelk search' || fail "--help does not name the search command"

# --- the Windows zip
unzip -q "$zip" -d "$scratch/zip"
dir=$scratch/zip/vardelk-$version-win32
auf=$out/windows/plugin/vardelk.auf
cmp "$auf" "$dir/vardelk.auf" || fail "the zip's vardelk.auf differs from the build's"
# Texts: a byte-order mark and CR LF for Windows editors, otherwise the sources' bytes.
for pair in guide-en.txt:docs/guide-en.md guide-ja.txt:docs/guide-ja.md LICENSE.txt:LICENSE; do
  shipped=$dir/${pair%%:*}
  [ "$(head -c 3 "$shipped" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "${pair%%:*} has no byte-order mark"
  [ "$(grep -c $'\r$' "$shipped")" = "$(wc -l <"$shipped")" ] || fail "${pair%%:*} has lines without CR LF"
  tail -c +4 "$shipped" | tr -d '\r' | cmp - "$root/${pair#*:}" || fail "${pair%%:*} differs from ${pair#*:}"
done
# Both guides name the controls exactly as the module shows them (in code page 932).
for text in スケール 非線形スケール オルタネートスキャン インタレースDCT ログ出力 イントラブロック用量子化行列 適用 取消 サイズ：; do
  LC_ALL=C grep -qaF "$(printf %s "$text" | iconv -f UTF-8 -t CP932)" "$auf" || fail "the module has no control '$text'"
  for guide in guide-en guide-ja; do
    grep -qF "$text" "$root/docs/$guide.md" || fail "$guide.md does not name the control '$text'"
  done
done

# Installed for real, ffmpeg finds the effect where it looks by itself, with
# no FREI0R_PATH. This changes the machine, so it runs only as root, where no
# vardelk package is installed already, and under CI (the machine is the
# test's own) or when asked with VARDELK_RELEASE_INSTALL=1; the package is
# removed again. Where it cannot run, the stage ends skipped, naming why,
# after every other check has passed.
install_blocker=
if [ "$(id -u)" != 0 ]; then
  install_blocker="the real install (dpkg -i) needs root"
elif [ "${CI:-}" != true ] && [ "${VARDELK_RELEASE_INSTALL:-}" != 1 ]; then
  install_blocker="the real install (dpkg -i) changes this machine: it runs under CI or with VARDELK_RELEASE_INSTALL=1"
elif [ -n "$(dpkg-query -W -f='${Status}' vardelk 2>/dev/null)" ]; then
  install_blocker="the real install (dpkg -i) cannot run: a vardelk package is installed already"
fi
if [ -z "$install_blocker" ]; then
  trap 'dpkg -P vardelk >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
  dpkg -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log" >&2; fail "dpkg -i refused the package"; }
  env -u FREI0R_PATH ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=64x48 -frames:v 1 \
    -vf "frei0r=vardelk:0.3667|n|n|n|filter|flat16" -f null - ||
    fail "ffmpeg does not find the installed effect without FREI0R_PATH"
  if command -v melt >/dev/null; then
    filters=$(env -u FREI0R_PATH melt -query filters 2>/dev/null || true)
    grep -q 'frei0r\.vardelk$' <<<"$filters" || fail "melt does not list the installed effect without FREI0R_PATH"
  fi
  dpkg -P vardelk >/dev/null 2>&1 || fail "dpkg -P could not remove the package"
  [ ! -e /usr/lib/frei0r-1/vardelk.so ] || fail "dpkg -P left /usr/lib/frei0r-1/vardelk.so behind"
fi

[ -z "$install_blocker" ] || vardelk_skip "release: $(basename "$deb") and $(basename "$zip") checked, but $install_blocker"
echo "release: $(basename "$deb") and $(basename "$zip") checked, installed and removed again"
