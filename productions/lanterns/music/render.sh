#!/usr/bin/env bash
# Renders lanterns.ogg from compose.py: MIDI -> FluidSynth (General MIDI sound font) -> 72 s,
# normalised to -16 LUFS with a true peak of -1.5 dBTP (ffmpeg loudnorm, two passes) -> Vorbis.
set -euo pipefail
cd "$(dirname "$0")"
SF2="${SF2:-/usr/share/sounds/sf2/FluidR3_GM.sf2}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
python3 compose.py "$tmp/lanterns.mid"
fluidsynth -ni -q -g 0.6 -r 44100 -F "$tmp/raw.wav" "$SF2" "$tmp/lanterns.mid"
cut="atrim=0:72,afade=t=out:st=70:d=2"
ln="loudnorm=I=-16:TP=-1.5:LRA=11"
stats="$(ffmpeg -hide_banner -nostats -i "$tmp/raw.wav" -af "$cut,$ln:print_format=json" -f null - 2>&1 |
  sed -n '/^{/,/^}/p')"
get() { printf '%s\n' "$stats" | sed -n "s/.*\"$1\" : \"\\([^\"]*\\)\".*/\\1/p"; }
ffmpeg -hide_banner -loglevel error -y -i "$tmp/raw.wav" -af \
  "$cut,$ln:measured_I=$(get input_i):measured_TP=$(get input_tp):measured_LRA=$(get input_lra):measured_thresh=$(get input_thresh):offset=$(get target_offset):linear=true" \
  -ar 44100 -c:a libvorbis -q:a 6 lanterns.ogg
echo "lanterns.ogg: $(ffmpeg -hide_banner -nostats -i lanterns.ogg -af ebur128=peak=true -f null - 2>&1 |
  grep -E '^\s+(I:|Peak:)' | tr -s ' ' | tr '\n' ' ')"
