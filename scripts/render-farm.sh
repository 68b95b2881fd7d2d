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
#   --to SECONDS        end of the run, as the player's --to (default 125)
#   --audio-codec NAME  sound of the joined file: aac, flac or pcm (default by container)
#   --player PATH       the player (default build/veltro12 beside this script)
#   --keep DIR          keep the stretches in DIR instead of a temporary folder
# Player options after "--" go to every job, for example: -- --size 1920x1080 --codec FFV1
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
stretches=4
jobs=""
fps=30
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
    --to) to="$2"; shift 2 ;;
    --audio-codec) audio="$2"; shift 2 ;;
    --player) player="$(realpath "$2")"; shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    --) shift; break ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "render-farm: unknown option $1" >&2; exit 1 ;;
    *) output="$1"; shift ;;
  esac
done
player_options=("$@")
[ -n "$output" ] || { echo "render-farm: no output file given (render-farm.sh --help)" >&2; exit 1; }
[[ "$stretches" =~ ^[1-9][0-9]*$ ]] || { echo "render-farm: --stretches needs a positive number" >&2; exit 1; }
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
  pcm) audio_args=(-c:a copy) ;;
  *) echo "render-farm: --audio-codec must be aac, flac or pcm" >&2; exit 1 ;;
esac

if [ -n "$keep" ]; then
  mkdir -p "$keep"
  work="$(realpath "$keep")"
else
  work="$(mktemp -d "${TMPDIR:-/tmp}/render-farm.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
fi

# Frame n (from 1) shows n / fps seconds; the whole run ends with the first frame past --to.
# Stretch i holds frames first+1 … last: the player starts at first / fps and stops after the
# frame at last / fps (its --to is half a frame before that instant).
total=$(awk -v to="$to" -v fps="$fps" 'BEGIN { printf "%d", int(to * fps + 1e-9) + 1 }')
[ "$stretches" -le "$total" ] || stretches=$total
awk -v total="$total" -v n="$stretches" -v fps="$fps" -v to="$to" 'BEGIN {
  for (i = 0; i < n; i++) {
    first = int(total * i / n); last = int(total * (i + 1) / n)
    end = (i == n - 1) ? to : (last - 0.5) / fps
    printf "%d %.17g %.17g %d\n", i, first / fps, end, last - first
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
  "$job" :::: "$work/stretches.txt" || {
  echo "render-farm: a job failed; its log:" >&2
  tail -n 5 "$work"/part-*.log >&2 || true
  exit 1
}
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
