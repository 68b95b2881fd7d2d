#!/usr/bin/env bash
# The render scale's table: bench_timeline over the whole timeline at 1920x1080 and at the
# 1024x576 view (the 1024x768 window), each at scales 1, 0.75, 0.5 and auto (target 60 fps),
# one run after another on this machine, with the frames at the ten fixed times of every run
# compared with those of scale 1 at the same size (PSNR over RGB).
#
# Usage: bench/render-scale-table.sh [BUILD_DIR] [--step SECONDS] [--out DIR]
# BUILD_DIR holds bench/bench_timeline and data.zip (default build). Prints one Markdown row
# a run: window, scale, median and p95 frame ms, CPU ms a frame, the scales drawn, the lowest
# PSNR (and where) and the range. The shots stay in DIR (default a temporary folder).
# Needs a display: run it under scripts/with-display.sh with PYLON_XVFB_SCREEN=1920x1200x24.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build=build step=0.25 out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --step) step="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    -*) sed -n '2,11p' "$0"; exit 2 ;;
    *) build="$1"; shift ;;
  esac
done
out="${out:-$(mktemp -d)}"
bench="$build/bench/bench_timeline"
[ -x "$bench" ] || { echo "render-scale-table: no $bench" >&2; exit 1; }
echo "| window | scale | median ms | p95 ms | CPU ms a frame | scales drawn | PSNR vs 1 (lowest) | PSNR range |"
echo "|---|---|---|---|---|---|---|---|"
for size in 1920x1080 1024x768; do
  for scale in 1 0.75 0.5 auto; do
    dir="$out/$size-$scale"
    mkdir -p "$dir"
    args=(--no-split --step "$step" --size "$size" --render-scale "$scale" --shots "$dir")
    [ "$scale" = auto ] && args+=(--target-fps 60)
    log="$dir/bench.log"
    "$bench" "${args[@]}" "$build/data.zip" > "$log" 2>&1 ||
      { echo "render-scale-table: bench_timeline failed at $size $scale (see $log)" >&2; exit 1; }
    # @summary SIZE FRAMES MEDIAN P95 ... CPU
    read -r _ _ _ median p95 _ _ cpu < <(grep '^@summary' "$log")
    drawn=$(sed -n 's/^render scale of the frames: //p' "$log")
    lowest="" range=""
    if [ "$scale" != 1 ]; then
      psnr="$(bash "$here/shots-psnr.sh" --dirs "$out/$size-1" "$dir" --out "$dir/cmp")"
      # Lines "  T s  P dB", one a time.
      lowest=$(echo "$psnr" | awk '$2=="s" && $4=="dB" && $3!="inf" && (min=="" || $3+0<min+0) {min=$3; at=$1} END {if (min!="") printf "%.1f dB at %s s", min, at}')
      range=$(echo "$psnr" | awk '$2=="s" && $4=="dB" && $3!="inf" {if (lo==""||$3+0<lo+0) lo=$3; if (hi==""||$3+0>hi+0) hi=$3} END {if (lo!="") printf "%.1f to %.1f dB", lo, hi}')
    fi
    window=$size
    [ "$size" = 1024x768 ] && window="1024x576 view"
    echo "| $window | $scale | $median | $p95 | $cpu | $drawn | $lowest | $range |"
  done
done
echo "(shots and logs in $out)" >&2
