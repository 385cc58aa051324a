#!/usr/bin/env bash
# ffmpeg's frei0r filter over Y4M clips: the frames that come out equal the
# command line's reconstruction of the RGBA frames the filter was given;
# parameters changed between frames (sendcmd) take effect on the next frame.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/host_lib.sh"
vardelk_needs ffmpeg
cd "$work"
write_matrix steep.txt

# run W H FRAMES PARAMS [COMMANDS]: the filter's input and output as raw RGBA.
run() {
  local width=$1 height=$2 frames=$3 params=$4 commands=${5:-} send=""
  rm -f f_*.png
  "$python" "$FRAMES" clip "$width" "$height" "$frames" clip.y4m
  if [ -n "$commands" ]; then
    echo "$commands" > commands.txt
    send="sendcmd=f=commands.txt,"
  fi
  render ffmpeg in.rgba out.rgba -- ffmpeg -nostdin -v error -i clip.y4m -filter_complex \
    "[0:v]format=rgba,split[a][b];[b]${send}frei0r@v=filter_name=vardelk:filter_params=${params}[c]" \
    -map '[a]' -f rawvideo -pix_fmt rgba -y in.rgba -map '[c]' -f rawvideo -pix_fmt rgba -y out.rgba
  "$python" "$FRAMES" split in.rgba "$width" "$height" f
}

# Scale code 12 with flat16 for two frames, then every setting changed at
# once: scale code 16 (0.5), the switches on, ffmpeg's model, a matrix file.
run 176 100 4 '0.3667|n|n|n|filter|flat16' "0.07 frei0r@v filter_params 0.5|y|y|y|ffmpeg|$work/steep.txt;"
reference f 0 2 -s 12 -m flat16
reference f 2 4 -s 16 --nonlinear --alternate-scan --interlaced --encoder ffmpeg -m steep.txt
check in.rgba out.rgba 176 100 f 4

# Sizes that are not multiples of 16, down to a single pixel, with the
# defaults (scale code 8, the default matrix); then a whole 1080p frame.
# ffmpeg 5.1 hands frei0r effects rows padded to 64 bytes when width x 4 is
# not a multiple of 64 (later versions do not), which breaks every effect's
# output, so odd widths are proven in melt and GStreamer; odd heights here.
for size in "1 1" "16 9"; do
  set -- $size
  run "$1" "$2" 2 ''
  reference f 0 2 -s 8 -m default
  check in.rgba out.rgba "$1" "$2" f 2
done
run 1920 1080 1 '0.3667|n|n|n|mpeg2enc|default'
reference f 0 1 -s 12 --encoder mpeg2enc -m default
check in.rgba out.rgba 1920 1080 f 1
