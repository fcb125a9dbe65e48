# Writes the five small WAVE sounds that a program carries as its
# ATTENTION_WAV ... SUCCESS_WAV resources for the library's sound cues (the
# workbench, and the cue test program): 8 kHz 8-bit mono tones of
# different pitch and length, so that each cue's samples are its own.
import math
import os
import sys
import wave

RATE = 8000
AMPLITUDE = 90
SILENCE = 128
# file name, pitch in Hz, length in milliseconds
SOUNDS = [
    ("attention.wav", 880, 500),
    ("ip_accept.wav", 660, 300),
    ("ip_reject.wav", 440, 400),
    ("failure.wav", 220, 600),
    ("success.wav", 1320, 350),
]

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
for name, pitch, length in SOUNDS:
    count = RATE * length // 1000
    samples = bytes(int(SILENCE + AMPLITUDE * math.sin(2 * math.pi * pitch * i / RATE))
                    for i in range(count))
    with wave.open(os.path.join(folder, name), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(1)
        out.setframerate(RATE)
        out.writeframes(samples)
