#!/usr/bin/env bash
# A JPEG photograph through run, sweep and search gives exactly what the
# same picture gives as the PNG our reader decodes it to; outputs we do not
# write and inputs we do not read are refused with the forms named.
set -u
: "${VARDELK:?path of the vardelk command}" "${MAKE_TEST_JPEG:?path of make_test_jpeg}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# 4:2:0 chroma and sizes that leave partial blocks and macroblocks.
"$MAKE_TEST_JPEG" photo 203 117 photo.jpg || exit 1
"$MAKE_TEST_JPEG" topng photo.jpg photo.png || exit 1
cp photo.jpg sniffed   # no extension: told by its content

for input in photo.jpg photo.png sniffed; do
  "$VARDELK" -q -i "$input" -s 8 -o "run-$input.y4m" --stats "run-$input.csv" || fail "run of $input"
done
cmp -s run-photo.jpg.y4m run-photo.png.y4m || fail "the JPEG's reconstruction differs from the PNG's"
cmp -s run-photo.jpg.y4m run-sniffed.y4m || fail "the JPEG without its extension reads differently"
cmp -s run-photo.jpg.csv run-photo.png.csv || fail "the JPEG's figures differ from the PNG's"

for input in photo.jpg photo.png; do
  "$VARDELK" -q -i "$input" --sweep -m default -m flat16 --stats "sweep-$input.csv" || fail "sweep of $input"
done
cmp -s sweep-photo.jpg.csv sweep-photo.png.csv || fail "the sweeps differ"

# The search reads the pictures its list names.
for input in photo.jpg photo.png; do
  echo "$input" >"list-$input.txt"
  "$VARDELK" search "list-$input.txt" -q --no-confirm --codes 4..8 --evaluations 12 -j 2 --out "search-$input" ||
    fail "search of $input"
done
for found in search-photo.png/matrix.*.txt; do
  cmp -s "$found" "search-photo.jpg/${found#*/}" || fail "the searches found different matrices (${found#*/})"
done
ls search-photo.png/matrix.*.txt >/dev/null 2>&1 || fail "the search wrote no matrix"

# Refusals name the forms.
printf 'hello\n' >notes.txt
"$VARDELK" -q -i notes.txt -s 8 -o out.y4m 2>err.txt && fail "a text file was read"
grep -q "notes.txt: not a picture or clip in a form read here (PNG, JPEG or Y4M)" err.txt ||
  fail "the refusal of a text file: $(cat err.txt)"
head -c 1000 photo.jpg >cut.jpg
"$VARDELK" -q -i cut.jpg -s 8 -o out.y4m 2>err.txt && fail "a cut JPEG was read"
grep -q "cut.jpg: damaged JPEG (Premature end of JPEG file)" err.txt || fail "the refusal of a cut JPEG: $(cat err.txt)"
[ ! -e out.y4m ] || fail "a refused input left an output behind"

[ "$failures" -eq 0 ] || exit 1
echo "pictures_jpeg_through_cli: passed"
