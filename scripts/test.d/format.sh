#!/usr/bin/env bash
# The C++ sources in the house style (.clang-format), as Debian's
# clang-format 14 writes it: every tracked .cpp and .h file must come out of
# it unchanged. Lists the files that differ; `clang-format -i FILE` fixes one.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root" || exit 1
source "$root/testing/skip.sh"

# Another version formats some constructs differently, so only 14 judges.
tool=
for candidate in clang-format-14 clang-format; do
  if command -v "$candidate" >/dev/null && "$candidate" --version | grep -q 'version 14\.'; then
    tool=$candidate
    break
  fi
done
[ -n "$tool" ] || vardelk_skip "clang-format 14: not installed (scripts/setup.sh installs it)"
if ! files=$(git ls-files '*.cpp' '*.h' 2>/dev/null) || [ -z "$files" ]; then
  vardelk_skip "not a git checkout, so there is no list of the tracked sources to format"
fi

report=$(mktemp)
trap 'rm -f "$report"' EXIT
tr '\n' '\0' <<<"$files" | xargs -0 -n 40 "$tool" --dry-run -Werror >"$report" 2>&1
mapfile -t unformatted < <(sed -nE 's/^([^:]+):[0-9]+:[0-9]+: error: code should be clang-formatted.*/\1/p' "$report" |
  sort -u)
if ((${#unformatted[@]})); then
  echo "format: ${#unformatted[@]} of $(wc -l <<<"$files") C++ files are not as $tool writes them:"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
if [ -s "$report" ]; then
  cat "$report"
  echo "format: $tool failed"
  exit 1
fi
echo "format: $(wc -l <<<"$files") C++ files as $tool writes them"
