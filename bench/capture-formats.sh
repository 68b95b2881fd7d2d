#!/usr/bin/env bash
# Compares capture formats on the same run: wall time, frames per second, file size, and
# the picture against --shot at a few instants (PSNR over RGB, in dB).
#
# Usage: bench/capture-formats.sh [--size WxH] [--from S] [--to S] [--times "T1 T2 ..."] [FILE]...
#   FILE: output names whose extension picks the format (default: avi.avi mp4.mp4); each may
#   be followed by player options after a colon, e.g. "ffv1.mkv:--codec FFV1".
# Environment: PLAYER (default build/veltro12), OUT (folder for the files, default a
# temporary one), NICE (niceness, default 10). Load and core count are printed: timings on a
# busy machine are pessimistic.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
player="${PLAYER:-$here/build/veltro12}"
size=1920x1080
from=0
to=125
times="10 40 70 100"
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size="$2"; shift 2 ;;
    --from) from="$2"; shift 2 ;;
    --to) to="$2"; shift 2 ;;
    --times) times="$2"; shift 2 ;;
    *) files+=("$1"); shift ;;
  esac
done
[ ${#files[@]} -gt 0 ] || files=(avi.avi mp4.mp4)
out="${OUT:-$(mktemp -d)}"
mkdir -p "$out"
data=("--data" "$(dirname "$player")/data.zip")
echo "capture-formats: $size, demo time $from-$to s, $(nproc) cores, load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# The reference pictures.
for t in $times; do
  nice -n "${NICE:-10}" "$player" --no-dialog --windowed --size "$size" "${data[@]}" --shot "$t" "$out/shot-$t.png" \
    2>/dev/null
done

for spec in "${files[@]}"; do
  file="${spec%%:*}"
  extra=()
  [ "$spec" = "$file" ] || read -r -a extra <<< "${spec#*:}"
  start=$(date +%s.%N)
  nice -n "${NICE:-10}" "$player" --no-dialog --windowed --size "$size" "${data[@]}" --from "$from" --to "$to" \
    --capture "$out/$file" "${extra[@]}" 2> "$out/$file.log"
  end=$(date +%s.%N)
  frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 \
    "$out/$file")
  bytes=$(stat -c %s "$out/$file")
  line=$(awk -v s="$start" -v e="$end" -v f="$frames" -v b="$bytes" -v n="$file" 'BEGIN {
    printf "%-10s %5d frames  %8.1f s  %6.2f fps  %8.1f MB  %6.2f Mbit/s", n, f, e - s, f / (e - s), b / 1048576,
      b * 8 / (f / 30) / 1e6 }')
  # Frame n (from 1) shows from + n / 30 s: the instant t is frame 30 (t - from), index one less.
  for t in $times; do
    index=$(awk -v t="$t" -v f="$from" 'BEGIN { printf "%d", (t - f) * 30 - 1 + 0.5 }')
    p=$(ffmpeg -v error -i "$out/$file" -i "$out/shot-$t.png" -lavfi \
      "[0:v]select=eq(n\,$index),setpts=PTS-STARTPTS,format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr=stats_file=-" \
      -f null - 2>/dev/null | sed -n 's/.*psnr_avg:\([0-9.inf]*\).*/\1/p' | head -n1)
    line+="  psnr@$t=${p:-?}"
  done
  echo "$line"
done
echo "capture-formats: load after: $(cut -d' ' -f1-3 /proc/loadavg); files in $out"
