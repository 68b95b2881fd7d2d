"""Checks that the tempo the production file states is the music's own.

    python3 productions/lanterns/music/beat_check.py [PYLON]

Finds the kick drum's onsets in music/lanterns.ogg (ffmpeg low-passes it forward and
backward, so the filter adds no delay, and decodes it; a hit's onset is where its
envelope's steepest rise begins), compares them
with the beats of the stated tempo, and asks `pylon tracks` at 60 frames a second when the
beat track wraps and the kick's band track rises after each beat. Prints the spreads in
milliseconds, and exits 1 when the hits are off the stated beat, or drift from it, by more
than a frame (1/60 s).
"""
import json
import os
import re
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PRODUCTION = os.path.dirname(HERE)
PYLON = sys.argv[1] if len(sys.argv) > 1 else os.path.join(PRODUCTION, "..", "..", "build", "pylon")
FRAME = 1.0 / 60.0
RATE = 8000


def stated_bpm():
    text = open(os.path.join(PRODUCTION, "production.txtpb")).read()
    return float(re.search(r"^\s*bpm:\s*([0-9.]+)", text, re.M).group(1))


def envelope():
    """The low band's peak level in 1 ms steps."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", os.path.join(HERE, "lanterns.ogg"), "-af",
                          "lowpass=f=120,areverse,lowpass=f=120,areverse", "-ac", "1", "-ar", str(RATE), "-f", "s16le", "-"],
                         check=True, capture_output=True).stdout
    samples = struct.unpack("<%dh" % (len(raw) // 2), raw)
    hop = RATE // 1000
    return [max(abs(x) for x in samples[i:i + hop]) for i in range(0, len(samples) - hop, hop)]


def onset(env, beat):
    """The kick's onset near `beat` (seconds). The bass line may already sound there, so a
    rise marks the hit, not a level: find the steepest 5 ms rise of the low band's envelope
    (1 ms steps) within 100 ms of the beat, then go back to where that rise began, the first
    step past a tenth of the way from the trough before it to the peak after it."""
    lo, hi = int((beat - 0.1) * 1000), int((beat + 0.1) * 1000)
    steep = max(range(lo, hi), key=lambda i: env[i + 5] - env[i])
    trough = min(range(steep - 40, steep + 1), key=lambda i: env[i])
    peak = max(env[steep:steep + 40])
    level = env[trough] + 0.1 * (peak - env[trough])
    return next(i for i in range(trough, steep + 6) if env[i] > level) / 1000.0


def answers(beat):
    """The first 60 fps frame at or after `beat` where the beat track has wrapped to a new
    beat, and the first where the kick's band track has risen past half its swing."""
    values = []
    for k in range(-2, 8):
        t = beat + k * FRAME
        out = subprocess.run([PYLON, "tracks", PRODUCTION, "--at", "%.6f" % t], check=True,
                             capture_output=True, text=True).stdout
        values.append((t, json.loads(out)))
    wrap = next(t for (t, v), (_, w) in zip(values, values[1:]) if w["music:beat"] < v["music:beat"])
    wrap = next(t for t, v in values if t > wrap + 1e-9)
    bass = [v["music:bass"] for _, v in values]
    half = min(bass) + 0.5 * (max(bass) - min(bass))
    band = next(t for t, v in values if t >= beat - 1e-9 and v["music:bass"] > half)
    return wrap - beat, band - beat


def spread(name, values):
    values = sorted(values)
    print("%s: min %+.1f ms, median %+.1f ms, max %+.1f ms" %
          (name, values[0] * 1000, values[len(values) // 2] * 1000, values[-1] * 1000))
    return values[len(values) // 2]


def main():
    bpm = stated_bpm()
    spb = 60.0 / bpm
    env = envelope()
    # The drums play from bar 9 to 20 and from bar 25 to 34 (16-40 s and 48-68 s at 120 bpm).
    groove = [b * spb for b in range(int(16 / spb), int(40 / spb))]
    drop = [b * spb for b in range(int(48 / spb), int(68 / spb))]
    print("stated tempo: %g bpm; %d beats with drums" % (bpm, len(groove) + len(drop)))
    first = spread("kick onset - beat, 16-40 s", [onset(env, b) - b for b in groove])
    last = spread("kick onset - beat, 48-68 s", [onset(env, b) - b for b in drop])
    sampled = (groove + drop)[::8]
    wraps, bands = zip(*(answers(b) for b in sampled))
    spread("beat track's wrap - beat (%d beats, 60 fps)" % len(sampled), wraps)
    spread("kick band's rise - beat (%d beats, 60 fps)" % len(sampled), bands)
    # The stated beat is the music's own when the hits sit on it (the median onset within a
    # frame) and do not drift from it (the same phase in the drop as in the groove); a beat
    # track then wraps on the heard beat within a frame.
    ok = abs(first) <= FRAME and abs(last - first) <= FRAME and max(wraps) <= FRAME + 1e-9
    print("the stated beat is the music's, within a frame (%.1f ms): %s" % (FRAME * 1000, "yes" if ok else "no"))
    return 0 if ok else 1


sys.exit(main())
