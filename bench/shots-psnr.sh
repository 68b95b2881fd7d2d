#!/usr/bin/env bash
# Compares the pictures of two builds: renders --shot frames at fixed demo times with each
# player and data archive and prints the PSNR (over RGB, in dB) of the new against the old.
# A change meant to keep the picture should stay at or above 40 dB everywhere.
#
# Usage: bench/shots-psnr.sh OLD_PLAYER OLD_DATA NEW_PLAYER NEW_DATA [--size WxH] [--out DIR]
#                            [--times "T1 T2 ..."]
#        bench/shots-psnr.sh --dirs OLD_DIR NEW_DIR [--times "T1 T2 ..."]
# Default size 1920x1080, times 5 15 30 43.5 60 80 90 100 112 118; the PNGs stay in DIR
# (default a temporary folder) to be looked at. Needs a display (scripts/with-display.sh;
# PYLON_XVFB_SCREEN=1920x1200x24 so that a 1080p window fits the screen). With --dirs it
# renders nothing and compares the shot-T.png files of two folders (bench_timeline --shots).
set -euo pipefail
[ $# -ge 3 ] || { sed -n '2,12p' "$0"; exit 2; }
dirs=""
if [ "$1" = --dirs ]; then
  dirs=1 old_dir="$2" new_dir="$3"
  shift 3
else
  [ $# -ge 4 ] || { sed -n '2,12p' "$0"; exit 2; }
  old_player="$1" old_data="$2" new_player="$3" new_data="$4"
  shift 4
fi
size=1920x1080
times="5 15 30 43.5 60 80 90 100 112 118"
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size="$2"; shift 2 ;;
    --times) times="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "shots-psnr: unknown argument $1" >&2; exit 2 ;;
  esac
done
out="${out:-$(mktemp -d)}"
mkdir -p "$out"
worst=""
for t in $times; do
  if [ -n "$dirs" ]; then
    cp "$old_dir/shot-$t.png" "$out/old-$t.png" && cp "$new_dir/shot-$t.png" "$out/new-$t.png" ||
      { echo "shots-psnr: no shot at $t s in $old_dir or $new_dir" >&2; exit 1; }
  fi
  for side in old new; do
    [ -n "$dirs" ] && break
    player=$old_player data=$old_data
    [ $side = new ] && player=$new_player data=$new_data
    "$player" --no-dialog --windowed --size "$size" --data "$data" --shot "$t" "$out/$side-$t.png" >/dev/null 2>&1 ||
      { echo "shots-psnr: the $side player gave no shot at $t s" >&2; exit 1; }
  done
  p=$(ffmpeg -hide_banner -nostats -i "$out/old-$t.png" -i "$out/new-$t.png" \
      -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr" -f null - 2>&1 |
      sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | head -n1)
  printf '%6s s  %s dB\n' "$t" "${p:-?}"
  if [ "$p" != "inf" ] && { [ -z "$worst" ] || awk "BEGIN{exit !($p < $worst)}"; }; then worst=$p; fi
done
echo "lowest: ${worst:-inf} dB (pictures in $out)"
