#!/usr/bin/env bash
# Renders the production to a video file as independent jobs, with GNU parallel: the run's
# frames are split by frame number into stretches, each stretch is rendered by its own
# player process (on this machine, or on others with --sshlogin), and the stretches are
# joined with FFmpeg's concat demuxer by stream copy. A stretch starts on a frame boundary,
# so the joined file has the very frames one process rendering the whole would write. The
# stretches carry their sound as 16-bit PCM, which joins without a gap or click; the joined
# track is then encoded once for the whole file (AAC for .mp4/.mov, FLAC for .mkv, or kept
# as PCM with --audio-codec pcm).
#
# Usage: scripts/render-farm.sh [OPTIONS] OUTPUT.mp4|.mov|.mkv [-- PLAYER OPTIONS]
#   -n, --stretches N   stretches to split the run into (default 4)
#   -j, --jobs N        jobs at a time on each machine (default: one per stretch)
#   --sshlogin LOGIN    a machine to run jobs on (GNU parallel's --sshlogin; repeatable; ":"
#                       is this machine). Each machine needs the player and the data at the
#                       same paths as here; the stretches come back by ssh.
#   --fps N             frames per second (default 30)
#   --from SECONDS      start of the run, as the player's --from (default 0)
#   --to SECONDS        end of the run, as the player's --to (default 125)
#   --audio-codec NAME  sound of the joined file: aac, flac or pcm (default by container)
#   --player PATH       the player (default build/veltro12 beside this script)
#   --keep DIR          keep the stretches in DIR instead of a temporary folder
# Player options after "--" go to every job, for example: -- --size 1920x1080 --codec FFV1
# A relative --data or --scene path is taken from the folder the farm was started in.
# While the jobs render, a line every few seconds gives the frames done of all and the time
# left (stretches on other machines count once their log comes back).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
stretches=4
jobs=""
fps=30
from=0
to=125
audio=""
player="$here/build/veltro12"
keep=""
logins=()
output=""
while [ $# -gt 0 ]; do
  case "$1" in
    -n|--stretches) stretches="$2"; shift 2 ;;
    -j|--jobs) jobs="$2"; shift 2 ;;
    --sshlogin) logins+=(--sshlogin "$2"); shift 2 ;;
    --fps) fps="$2"; shift 2 ;;
    --from) from="$2"; shift 2 ;;
    --to) to="$2"; shift 2 ;;
    --audio-codec) audio="$2"; shift 2 ;;
    --player) player="$(realpath "$2")"; shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    --) shift; break ;;
    -h|--help) sed -n '2,28p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "render-farm: unknown option $1" >&2; exit 1 ;;
    *) output="$1"; shift ;;
  esac
done
# Each job runs in a folder of its own: paths given relative to here must not depend on it.
player_options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --data|--scene)
      [ $# -ge 2 ] || { echo "render-farm: player option $1 needs a file" >&2; exit 1; }
      player_options+=("$1" "$(realpath -m -- "$2")"); shift 2 ;;
    *) player_options+=("$1"); shift ;;
  esac
done
[ -n "$output" ] || { echo "render-farm: no output file given (render-farm.sh --help)" >&2; exit 1; }
[[ "$stretches" =~ ^[1-9][0-9]*$ ]] || { echo "render-farm: --stretches needs a positive number" >&2; exit 1; }
number='^[0-9]+([.][0-9]+)?$'
[[ "$from" =~ $number && "$to" =~ $number ]] || { echo "render-farm: --from and --to need seconds (0 to 1000)" >&2; exit 1; }
awk -v a="$from" -v b="$to" 'BEGIN { exit !(a < b && b <= 1000) }' ||
  { echo "render-farm: --from $from must be before --to $to (at most 1000)" >&2; exit 1; }
[ -x "$player" ] || { echo "render-farm: no player at $player (build it with scripts/build.sh)" >&2; exit 1; }
command -v parallel >/dev/null || { echo "render-farm: GNU parallel is not installed (scripts/setup.sh)" >&2; exit 1; }

case "${output,,}" in
  *.mp4|*.m4v) part_ext=mov; default_audio=aac ;;
  *.mov) part_ext=mov; default_audio=aac ;;
  *.mkv) part_ext=mkv; default_audio=flac ;;
  *) echo "render-farm: $output: the output must be .mp4, .mov or .mkv" >&2; exit 1 ;;
esac
audio="${audio:-$default_audio}"
case "$audio" in
  aac) audio_args=(-c:a aac -b:a 256k) ;;
  flac) audio_args=(-c:a flac) ;;
  pcm)
    # The player's rule: MP4 does not take PCM sound (MOV and MKV do).
    case "${output,,}" in *.mp4|*.m4v) echo "render-farm: PCM sound cannot be stored in MP4 files; use .mov or .mkv" >&2; exit 1 ;; esac
    audio_args=(-c:a copy) ;;
  *) echo "render-farm: --audio-codec must be aac, flac or pcm" >&2; exit 1 ;;
esac

if [ -n "$keep" ]; then
  mkdir -p "$keep"
  work="$(realpath "$keep")"
else
  work="$(mktemp -d "${TMPDIR:-/tmp}/render-farm.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
fi

# Frame n (from 1) shows --from + n / fps seconds; the whole run ends with the first frame
# past --to. Stretch i holds frames first+1 … last: the player starts at --from + first / fps
# and stops after the frame at --from + last / fps (its --to is half a frame before that
# instant). A --from on a frame boundary counts in whole frames (f0 + first) / fps, as the
# player does, so the stretches start on the frames one process would draw.
total=$(awk -v from="$from" -v to="$to" -v fps="$fps" 'BEGIN { printf "%d", int((to - from) * fps + 1e-9) + 1 }')
[ "$stretches" -le "$total" ] || stretches=$total
awk -v total="$total" -v n="$stretches" -v fps="$fps" -v from="$from" -v to="$to" 'BEGIN {
  f0 = from * fps; whole = (f0 - int(f0 + 0.5)) ^ 2 < 1e-12; f0 = int(f0 + 0.5)
  for (i = 0; i < n; i++) {
    first = int(total * i / n); last = int(total * (i + 1) / n)
    start = whole ? (f0 + first) / fps : from + first / fps
    end = (i == n - 1) ? to : (whole ? (f0 + last - 0.5) / fps : from + (last - 0.5) / fps)
    printf "%d %.17g %.17g %d\n", i, start, end, last - first
  }
}' > "$work/stretches.txt"

printf -v passed '%q ' "${player_options[@]}"
job="mkdir -p '$work' && cd '$work' && '$player' --no-dialog --windowed $passed --fps $fps"
job+=" --from {2} --to {3} --audio-codec pcm --capture part-{1}.$part_ext 2> part-{1}.log"
echo "render-farm: $total frames in $stretches stretches, ${jobs:-$stretches} jobs at a time${logins[*]:+ on ${logins[*]}}"
start=$(date +%s.%N)
remote=()  # stretches rendered elsewhere come back over ssh
[ ${#logins[@]} -eq 0 ] || remote=("${logins[@]}" --return "$work/part-{1}.$part_ext" --return "$work/part-{1}.log")
parallel --will-cite --colsep ' ' --jobs "${jobs:-$stretches}" --halt now,fail=1 "${remote[@]}" \
  "$job" :::: "$work/stretches.txt" &
jobs_pid=$!

# Frames done so far: each job's log says "capturing frame D of N" as it goes, and names its
# file once it is finished.
progress() {
  local i from end count finished=0 got
  while read -r i from end count; do
    got=0
    if [ -f "$work/part-$i.log" ]; then
      if grep -q "^capture: part-$i\.$part_ext, " "$work/part-$i.log"; then got=$count
      else got=$(grep -o 'capturing frame [0-9]*' "$work/part-$i.log" | tail -n 1 | grep -o '[0-9]*$' || true); fi
    fi
    finished=$((finished + ${got:-0}))
  done < "$work/stretches.txt"
  awk -v d="$finished" -v n="$total" -v s="$start" -v now="$(date +%s.%N)" 'BEGIN {
    line = sprintf("render-farm: %d of %d frames", d, n)
    if (d > 0 && d < n) { left = (now - s) * (n - d) / d; line = line sprintf(", %d:%02d left", int(left / 60), int(left) % 60) }
    print line }' >&2
}
interval="${PYLON_FARM_PROGRESS_SECONDS:-10}"
while kill -0 "$jobs_pid" 2>/dev/null; do
  for _ in $(seq 1 "$interval"); do kill -0 "$jobs_pid" 2>/dev/null && sleep 1; done
  kill -0 "$jobs_pid" 2>/dev/null && progress
done
if ! wait "$jobs_pid"; then
  echo "render-farm: a job failed; its log:" >&2
  tail -n 5 "$work"/part-*.log >&2 || true
  exit 1
fi
progress
rendered=$(date +%s.%N)

# Every stretch must hold exactly its frames, or the join would not be the whole run.
rm -f "$work/list.txt"
while read -r i from end count; do
  got=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 \
    "$work/part-$i.$part_ext")
  [ "$got" = "$count" ] || { echo "render-farm: stretch $i has $got frames, not $count" >&2; exit 1; }
  echo "file 'part-$i.$part_ext'" >> "$work/list.txt"
done < "$work/stretches.txt"

mux=()
case "${output,,}" in *.mp4|*.m4v|*.mov) mux=(-movflags +faststart) ;; esac
ffmpeg -v error -y -f concat -safe 0 -i "$work/list.txt" -map 0:v -c:v copy -map 0:a "${audio_args[@]}" "${mux[@]}" \
  "$output"
done_at=$(date +%s.%N)
awk -v s="$start" -v r="$rendered" -v d="$done_at" -v out="$output" -v n="$total" 'BEGIN {
  printf "render-farm: %s, %d frames; rendering %.1f s, joining %.1f s\n", out, n, r - s, d - r }'
