#!/usr/bin/env python3
"""Writes lanterns.mid: the music of Lanterns, 72 s at 120 beats a minute (36 bars of 4/4).

Form, in bars (one bar = 2 s):
   1-8   intro: warm pad, hi-hats, the kick from bar 5
   9-20  groove: four-on-the-floor kick, snare on 2 and 4, bass, arpeggio
  21-24  breakdown: pad and a slow arpeggio alone, no drums
  25-34  drop: crash on bar 25, full drums, bass an octave up, lead line
  35-36  outro: pad and a last crash, dying away
Every drum hit sits exactly on a beat or half-beat, so the production's tempo (120) matches.
Usage: compose.py OUT.mid
"""
import struct
import sys

BPM = 120
TPB = 480  # ticks a beat
BARS = 36

events = []  # (tick, order, bytes)


def note(tick, ch, key, vel, length):
    events.append((tick, 1, bytes([0x90 | ch, key, vel])))
    events.append((tick + length, 0, bytes([0x80 | ch, key, 0])))


def program(ch, prog):
    events.append((0, 0, bytes([0xC0 | ch, prog])))


def bar_tick(bar):  # bar counts from 1
    return (bar - 1) * 4 * TPB


PAD, BASS, ARP, LEAD, DRUMS = 0, 1, 2, 3, 9
program(PAD, 89)   # Pad 2 (warm)
program(BASS, 38)  # Synth Bass 1
program(ARP, 80)   # Lead 1 (square)
program(LEAD, 81)  # Lead 2 (sawtooth)
KICK, SNARE, HAT, OPENHAT, CRASH = 36, 38, 42, 46, 49

# A minor: Am - F - C - G, one chord a bar.
CHORDS = [(57, 60, 64), (53, 57, 60), (48, 52, 55), (55, 59, 62)]
ROOTS = [45, 41, 36, 43]
LEAD_LINE = [76, 74, 72, 71, 72, 74, 76, 79]

for bar in range(1, BARS + 1):
    t0 = bar_tick(bar)
    chord = CHORDS[(bar - 1) % 4]
    root = ROOTS[(bar - 1) % 4]
    intro, groove = bar <= 8, 9 <= bar <= 20
    breakdown, drop, outro = 21 <= bar <= 24, 25 <= bar <= 34, bar >= 35
    pad_vel = 70 if (breakdown or outro) else 55
    for k in chord:
        note(t0, PAD, k, pad_vel, 4 * TPB - 10)
    # Drums.
    if intro or groove or drop:
        for beat in range(4):
            tb = t0 + beat * TPB
            if not intro or bar >= 5:
                note(tb, DRUMS, KICK, 120 if drop else 110, TPB // 4)
            if (groove or drop) and beat in (1, 3):
                note(tb, DRUMS, SNARE, 105, TPB // 4)
            note(tb + TPB // 2, DRUMS, OPENHAT if drop else HAT, 80, TPB // 4)
            if drop:
                note(tb, DRUMS, HAT, 60, TPB // 8)
    if bar in (9, 25, 35):
        note(t0, DRUMS, CRASH, 120, 2 * TPB)
    # Bass on the eighths.
    if groove or drop:
        base = root + (12 if drop else 0)
        for i in range(8):
            note(t0 + i * TPB // 2, BASS, base + (12 if i % 2 else 0), 100, TPB // 2 - 20)
    # Arpeggio: sixteenths in the groove and the drop, eighths in the breakdown.
    if groove or drop or breakdown:
        step = TPB // 2 if breakdown else TPB // 4
        seq = [chord[0] + 12, chord[1] + 12, chord[2] + 12, chord[1] + 12]
        for i in range(4 * TPB // step):
            note(t0 + i * step, ARP, seq[i % 4], 60 if breakdown else 50, step - 20)
    # Lead in the drop: one note a half bar.
    if drop:
        for h in range(2):
            k = LEAD_LINE[((bar - 25) * 2 + h) % len(LEAD_LINE)]
            note(t0 + h * 2 * TPB, LEAD, k, 90, 2 * TPB - 40)

events.sort(key=lambda e: (e[0], e[1]))
track = bytearray()
tempo = 60_000_000 // BPM
track += b"\x00\xff\x51\x03" + tempo.to_bytes(3, "big")
track += b"\x00\xff\x58\x04\x04\x02\x18\x08"  # 4/4


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


last = 0
for tick, _, data in events:
    track += vlq(tick - last) + data
    last = tick
end = bar_tick(BARS + 1)
track += vlq(end - last) + b"\xff\x2f\x00"
with open(sys.argv[1], "wb") as f:
    f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, TPB))
    f.write(b"MTrk" + struct.pack(">I", len(track)) + track)
