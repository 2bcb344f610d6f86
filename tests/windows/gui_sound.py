#!/usr/bin/env python3
"""The sink's sound with the time it came, and the pane's characters against it.

  gui_sound.py record RECORDING TIMES      parec's samples of the null sink's monitor into
                                           RECORDING, and into TIMES after each piece read the
                                           samples so far and the system time [µs since 1970];
                                           until SIGINT or SIGTERM
  gui_sound.py follow RECORDING TIMES PANE figures: when each character showed in the pane (PANE,
                                           from gui_check watch) against when its symbol sounded
"""
import bisect
import os
import signal
import subprocess
import sys
import time

RATE = 11025


def record(recording, times):
    parec = subprocess.Popen(
        ['parec', '--device=kelvak.monitor', '--format=u8', f'--rate={RATE}', '--channels=1',
         '--raw', '--latency-msec=10'], stdout=subprocess.PIPE)
    signal.signal(signal.SIGINT, lambda *_: parec.terminate())
    signal.signal(signal.SIGTERM, lambda *_: parec.terminate())
    total = 0
    with open(recording, 'wb') as out, open(times, 'w') as log:
        while True:
            piece = os.read(parec.stdout.fileno(), 4096)
            if not piece:
                break
            now = time.time_ns() // 1000
            total += len(piece)
            out.write(piece)
            out.flush()
            log.write(f'{total} {now}\n')
    parec.wait()


def symbols(samples):
    """The recording's symbols as (first, last + 1) sample: tone is where the signal moves, and
    silence of more than two units (the shortest silence inside a symbol) parts symbols."""
    runs, start, i, n = [], None, 0, len(samples)
    while i < n:
        j = i + 1
        while j < n and samples[j] == samples[i]:
            j += 1
        if j - i >= 6:
            if start is not None:
                runs.append((start, i))
                start = None
        elif start is None:
            start = i
        i = j
    if len(runs) < 2:
        return []
    unit = min(b[0] - a[1] for a, b in zip(runs, runs[1:]))
    found = []
    for first, end in runs:
        if found and first - found[-1][1] <= 2 * unit:
            found[-1][1] = end
        else:
            found.append([first, end])
    return found


def follow(recording, times, pane):
    samples = open(recording, 'rb').read()
    pieces = [tuple(map(int, line.split())) for line in open(times)]
    ends = [p[0] for p in pieces]

    def sounded(i):
        """When sample i came out of the sink [µs]: the time its piece was read, less the samples
        after it in that piece."""
        total, at = pieces[min(bisect.bisect_right(ends, i), len(pieces) - 1)]
        return at - (total - i) * 1e6 / RATE

    shown = {}
    for line in open(pane, encoding='utf-8'):
        at, _, text = line.rstrip('\n').partition(' ')
        for k in range(len(text.replace(' ', ''))):
            shown.setdefault(k, int(at))
    found = symbols(samples)[1:]  # the start signal is not shown
    leads = []
    for k, (first, end) in enumerate(found):
        if k in shown:
            leads.append((shown[k] - sounded(first)) / 1000)
    if not leads:
        print('pane: no character to time')
        return
    print(f'pane: {len(shown)} characters shown, {len(found)} symbols sounded; each shown '
          f'{min(leads):+.0f} to {max(leads):+.0f} ms from its first tone in the sink '
          f'(- before), one after another: ' + ' '.join(f'{x:+.0f}' for x in leads))


if __name__ == '__main__':
    if len(sys.argv) == 4 and sys.argv[1] == 'record':
        record(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == 'follow':
        follow(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        sys.exit(__doc__)
