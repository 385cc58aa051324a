#!/usr/bin/env bash
# MLT (melt), the engine under the Linux editors: a Y4M clip rendered with
# the effect comes out equal to the command line's reconstruction of the
# RGBA frames MLT gives the effect; keyframed parameters take effect on
# their frame.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/host_lib.sh"
vardelk_needs melt
cd "$work"
write_matrix steep.txt

# run W H FRAMES FILTER_PROPERTY...: the frames MLT makes of the clip, and
# the same with the effect, as raw RGBA. The profile is the clip's own, so
# nothing is scaled.
run() {
  local width=$1 height=$2 frames=$3
  shift 3
  rm -f f_*.png
  "$python" "$FRAMES" clip "$width" "$height" "$frames" clip.y4m
  printf '%s\n' description=test frame_rate_num=25 frame_rate_den=1 "width=$width" "height=$height" \
    progressive=1 sample_aspect_num=1 sample_aspect_den=1 "display_aspect_num=$width" \
    "display_aspect_den=$height" colorspace=601 > profile
  local consumer=(f=rawvideo pix_fmt=rgba mlt_image_format=rgba real_time=-1)
  render melt in.rgba -- melt -silent -profile profile clip.y4m -consumer avformat:in.rgba "${consumer[@]}"
  render melt out.rgba -- melt -silent -profile profile clip.y4m -filter frei0r.vardelk "$@" \
    -consumer avformat:out.rgba "${consumer[@]}"
  "$python" "$FRAMES" split in.rgba "$width" "$height" f
}

# Keyframes by name and by number: scale code 12 with flat16 for two frames,
# then scale code 16 (0.5), the non-linear scale, ffmpeg's model and a file.
run 17 9 4 "scale code=0|=0.3667;2|=0.5" "1=0|=0;2|=1" "4=0|=filter;2|=ffmpeg" "matrix=0|=flat16;2|=$work/steep.txt"
reference f 0 2 -s 12 -m flat16
reference f 2 4 -s 16 --nonlinear --encoder ffmpeg -m steep.txt
check in.rgba out.rgba 17 9 f 4

# A single pixel, with the alternate scan and field DCT, the default matrix.
run 1 1 2 2=1 3=1
reference f 0 2 -s 8 --alternate-scan --interlaced -m default
check in.rgba out.rgba 1 1 f 2

# A matrix file that cannot be read leaves the last good matrix in effect and
# is reported once, though MLT sets every parameter before every frame
# (melt.log holds the messages of the render with the effect).
printf '1 2 3\n' > short.txt
run 33 20 3 "scale code=0.3667" "matrix=0|=flat16;1|=$work/short.txt"
reference f 0 3 -s 12 -m flat16
check in.rgba out.rgba 33 20 f 3
[ "$(grep -c "short.txt" melt.log)" = 1 ] || { echo "expected one message naming short.txt:"; cat melt.log; exit 1; }
