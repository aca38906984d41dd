#!/usr/bin/env python3
"""The live A/V rig's measure: in a recording of the screen and of the
sound output together (tests/av/rig.sh record), the typical time from each
kick of the soundtrack to the flash on its beat, in ms: the mean of the
middle half.

    python3 tests/av/avsync.py RECORDING

Prints "FLASHES MS", and each flash's time on standard error. Both streams carry the recording machine's
wall clock as their timestamps. A kick is where the sound under 150 Hz
first rises past half its loudest after 250 ms below it; a flash is the
first frame whose mean brightness is past halfway between the darkest
and brightest frames. Each flash is paired with the nearest kick, if that
is less than 250 ms away (beats are 619 ms apart): the time is negative
for a flash ahead of its kick. The figure includes what the rig
adds (the grab's and the monitor's delays), so only the difference from a
reference player on the same rig means anything. Exits with status 1 when
fewer than 5 flashes pair with kicks.
"""
import array
import statistics
import subprocess
import sys

RATE = 44100


def probe(path, stream, entry):
    """The first column of `entry` for each frame or packet of a stream."""
    out = subprocess.run(['ffprobe', '-v', 'error', '-select_streams', stream, '-show_entries', entry,
                          '-of', 'csv=p=0', path], check=True, capture_output=True, text=True).stdout
    return [float(line.split(',')[0]) for line in out.split() if line and line.split(',')[0] != 'N/A']


def flashes(path):
    times = probe(path, 'v:0', 'frame=pts_time')
    raw = subprocess.run(['ffmpeg', '-v', 'error', '-i', path, '-map', '0:v:0', '-vf', 'scale=16:12,format=gray',
                          '-fps_mode', 'passthrough', '-f', 'rawvideo', '-'], check=True, capture_output=True).stdout
    means = [sum(raw[i:i + 192]) / 192 for i in range(0, len(raw), 192)]
    n = min(len(times), len(means))
    if n < 2:
        return []
    threshold = (min(means[:n]) + max(means[:n])) / 2
    return [times[i] for i in range(1, n) if means[i] > threshold >= means[i - 1]]


def audiostart(path):
    """The wall-clock time of the recording's first sample: the median over
    its packets of each one's timestamp less the sound before it, as a
    single packet's timestamp carries the capture's jitter."""
    rate, channels = (int(v) for v in subprocess.run(
        ['ffprobe', '-v', 'error', '-select_streams', 'a:0', '-show_entries', 'stream=sample_rate,channels',
         '-of', 'csv=p=0', path], check=True, capture_output=True, text=True).stdout.split()[0].split(',')[:2])
    rows = subprocess.run(['ffprobe', '-v', 'error', '-select_streams', 'a:0', '-show_entries',
                           'packet=pts_time,size', '-of', 'csv=p=0', path],
                          check=True, capture_output=True, text=True).stdout.split()
    starts, before = [], 0
    for row in rows:
        pts, size = row.split(',')[:2]
        starts.append(float(pts) - before / rate)
        before += int(size) // (2 * channels)
    return statistics.median(starts)


def kicks(path):
    start = audiostart(path)
    raw = subprocess.run(['ffmpeg', '-v', 'error', '-i', path, '-map', '0:a:0', '-af', 'lowpass=f=150',
                          '-ac', '1', '-ar', str(RATE), '-f', 's16le', '-'], check=True, capture_output=True).stdout
    samples = array.array('h')
    samples.frombytes(raw[:len(raw) // 2 * 2])
    if not samples:
        return []
    threshold = max(abs(s) for s in samples) / 2
    onsets, quiet, gap = [], 0, RATE // 4
    for i, s in enumerate(samples):
        if abs(s) > threshold:
            if quiet >= gap:
                onsets.append(start + i / RATE)
            quiet = 0
        else:
            quiet += 1
    return onsets


def middle(values):
    """The mean of the middle half of the values. The grab comes every
    16.7 ms, so each time is late by a part of that, which moves from beat
    to beat: their median jumps by whole grab periods between runs, the
    mean of the middle half averages it out and still leaves out the few
    far off."""
    v = sorted(values)
    cut = len(v) // 4
    return statistics.mean(v[cut:len(v) - cut])


def main():
    path = sys.argv[1]
    beats = kicks(path)
    offsets = []
    for flash in flashes(path):
        nearest = min(beats, key=lambda k: abs(flash - k), default=None)
        if nearest is not None and abs(flash - nearest) < 0.25:
            offsets.append((flash - nearest) * 1000)
    print(' '.join('%.0f' % o for o in offsets), file=sys.stderr)
    print(len(offsets), '%.1f' % middle(offsets) if offsets else 'nan')
    sys.exit(0 if len(offsets) >= 5 else 1)


if __name__ == '__main__':
    main()
