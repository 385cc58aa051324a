#!/usr/bin/env bash
# Neither the thread count nor the kernel build changes anything a run
# writes: frames of a clip, the rows of a single picture and the points of a
# sweep give the same bytes, tables, figures and pictures on one thread and
# on several, with vector kernels and without.
source "$(dirname "${BASH_SOURCE[0]}")/script_setup.sh"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$MAKE_TEST_CLIP" clip.y4m 67 45 7 420 || exit 1

for j in 1 3 8; do
  # A clip: more frames than threads, and fewer (the pipeline's ring wraps).
  "$VARDELK" -j $j -i clip.y4m -s 4 --interlaced -o clip_$j.y4m --stats clip_$j.json \
    --picture clip_$j.png --picture-frame 5 >clip_$j.txt || fail "clip on $j threads"
  "$VARDELK" -j $j -q -i clip.y4m -n 2 -s 2 -o short_$j.yc || fail "short clip on $j threads"
  # One picture, split into bands of macroblock rows.
  "$VARDELK" -j $j -q -i builtin:demo -s 6 --nonlinear -o one_$j.y4m --stats one_$j.csv \
    --picture one_$j.png --butteraugli || fail "picture on $j threads"
  "$VARDELK" -j $j -q -i clip.y4m -n 3 --sweep --sweep-nonlinear -m default -m flat16 \
    --stats sweep_$j.csv --plot sweep_$j.svg --butteraugli || fail "sweep on $j threads"
done
for f in clip_@.y4m clip_@.json clip_@.png clip_@.txt short_@.yc one_@.y4m one_@.csv one_@.png sweep_@.csv sweep_@.svg; do
  for j in 3 8; do
    cmp -s "${f/@/1}" "${f/@/$j}" || fail "${f/@/$j} differs from ${f/@/1}"
  done
done

# Every kernel build gives the same frames and figures.
for cpu in plain sse2; do
  "$VARDELK" --cpu $cpu -j 3 -i clip.y4m -s 4 --interlaced -o clip_$cpu.y4m --stats clip_$cpu.json \
    --picture clip_$cpu.png --picture-frame 5 >clip_$cpu.txt || fail "clip with --cpu $cpu"
  for f in clip_@.y4m clip_@.json clip_@.png clip_@.txt; do
    cmp -s "${f/@/1}" "${f/@/$cpu}" || fail "${f/@/$cpu} differs from ${f/@/1}"
  done
done

# A device without a telling name takes Y4M, as standard output would.
"$VARDELK" -q -i clip.y4m -o /dev/null || fail "a device as the output"
"$VARDELK" -q -i clip.y4m -j 0 2>err.txt && fail "zero threads accepted"
grep -q -- "--threads 0" err.txt || fail "zero threads: $(cat err.txt)"

if [ "$failures" -ne 0 ]; then
  echo "$failures thread check(s) failed"
  exit 1
fi
echo "all thread checks passed"
