#!/usr/bin/env bash
# Makes the pictures of a set list (training.txt, validation.txt) as PNG
# files in a folder, with a list file `set.txt` naming them, from the
# photographs the Debian packages install under /usr/share.
#   search/sets/prepare.sh LIST OUTDIR
set -euo pipefail
list=$1
out=$2
mkdir -p "$out"
: > "$out/set.txt.tmp"
while read -r name package source width crop; do
    [[ -z "$name" || "$name" == \#* ]] && continue
    path=/usr/share/$source
    if [[ ! -f "$path" ]]; then
        echo "prepare.sh: $path missing; install the Debian package $package" >&2
        exit 1
    fi
    scale=""
    [[ "$width" != 0 ]] && scale="scale=${width}:-2:flags=lanczos,"
    if [[ ! -s "$out/$name.png" ]]; then
        ffmpeg -v error -nostdin -y -i "$path" -vf "${scale}crop=${crop},format=rgb24" -frames:v 1 "$out/$name.tmp.png"
        mv "$out/$name.tmp.png" "$out/$name.png"
    fi
    echo "$name.png" >> "$out/set.txt.tmp"
done < "$list"
mv "$out/set.txt.tmp" "$out/set.txt"
