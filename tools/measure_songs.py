#!/usr/bin/env python3
"""measure_songs.py -- the two songs measured as a listener's meter would: loudness, levels per order,
onsets on the cue rows, the tail, the spectral balance, and from the XM files themselves the notes left
hanging, the repeated progressions and phrases, and the sounds the songs share.

Usage: tools/measure_songs.py [--build build] [--out DIR] [--spectrograms]

Renders build/qd/music/{1,2}.xm with ffmpeg's libopenmpt input at 44,100 Hz (song 1 from order 1, as the
show plays it), so ffmpeg with libopenmpt is needed. Standard library only otherwise.
"""
import argparse
import json
import math
import os
import re
import struct
import subprocess
import sys
from array import array

RATE = 44100
TICK = 735                 # frames per tick at BPM 150
FIRST_ORDER = {1: 1, 2: 0}  # where the show starts each song
# The cue rows of each order (the show's cuts, flashes and impacts), as the timeline has them.
CUES = {
    1: {**{o: [0] for o in range(1, 10)}, 10: [0, 57], 11: [0], 13: [0, 6], 14: [0]},
    2: {0: list(range(7, 64, 8)), 1: [38, 55], 2: list(range(7, 64, 8)), 3: [32], 4: [0], 6: [0, 32],
        7: [0, 32], 8: [39, 47, 55, 63], 9: list(range(7, 64, 8)), 10: list(range(7, 64, 8)),
        11: list(range(7, 64, 8)), 14: [32], 15: [32], 19: [0]},
}
NOTE_OFF = 97
ROWS_HANGING = 64


# ---- the XM file ------------------------------------------------------------------------------------

def read_xm(path):
    b = open(path, 'rb').read()
    u16 = lambda o: struct.unpack_from('<H', b, o)[0]
    u32 = lambda o: struct.unpack_from('<I', b, o)[0]
    song_length, channels, npat, nins = u16(64), u16(68), u16(70), u16(72)
    speed = u16(76)
    orders = list(b[80:80 + song_length])
    pos = 60 + u32(60)
    patterns = []
    for _ in range(npat):
        rows, size = u16(pos + 5), u16(pos + 7)
        pos += u32(pos)
        data, i = b[pos:pos + size], 0
        grid = []
        for _r in range(rows):
            row = []
            for _c in range(channels):
                if not size:
                    row.append((0, 0, 0, 0, 0))
                    continue
                f = data[i]
                if f & 0x80:
                    i += 1
                    cell = []
                    for bit in (1, 2, 4, 8, 16):
                        if f & bit:
                            cell.append(data[i]); i += 1
                        else:
                            cell.append(0)
                    row.append(tuple(cell))
                else:
                    row.append(tuple(data[i:i + 5])); i += 5
            grid.append(row)
        patterns.append(grid)
        pos += size
    instruments = []
    for _ in range(nins):
        size, name, nsmp = u32(pos), b[pos + 4:pos + 26].rstrip(b'\0').decode('latin1'), u16(pos + 27)
        ins = {'name': name, 'samples': []}
        if nsmp:
            env = [(u16(pos + 129 + 4 * k), u16(pos + 131 + 4 * k)) for k in range(b[pos + 225])]
            ins['envelope'] = env
            ins['env_flags'] = b[pos + 233]
            ins['sustain'] = b[pos + 227]
            ins['fadeout'] = u16(pos + 239)
        pos += size
        heads = []
        for _s in range(nsmp):
            length, ls, ll = u32(pos), u32(pos + 4), u32(pos + 8)
            vol, fine, typ, pan, rel = b[pos + 12], struct.unpack_from('b', b, pos + 13)[0], b[pos + 14], b[pos + 15], \
                struct.unpack_from('b', b, pos + 16)[0]
            heads.append(dict(length=length, loop_start=ls, loop_length=ll, volume=vol, finetune=fine, type=typ,
                              panning=pan, relnote=rel))
            pos += 40
        for h in heads:
            n = h['length'] // 2 if h['type'] & 0x10 else h['length']
            frames, acc = array('h'), 0
            if h['type'] & 0x10:
                for (d,) in struct.iter_unpack('<h', b[pos:pos + 2 * n]):
                    acc = (acc + d + 32768) % 65536 - 32768
                    frames.append(acc)
            h['frames'] = frames
            h['looped'] = (h['type'] & 3) != 0 and h['loop_length'] > 0
            pos += h['length']
            ins['samples'].append(h)
        instruments.append(ins)
    pats = [patterns[p] for p in orders]
    speeds, s = [], speed
    for grid in pats:
        for cell in grid[0]:
            if cell[3] == 15 and 0 < cell[4] < 32:
                s = cell[4]
        speeds.append(s)
    return dict(channels=channels, orders=pats, speeds=speeds, instruments=instruments)


def sustaining(ins):
    """A voice that holds its level until something ends it: a looped sample whose volume envelope is off,
    holds at a sustain point, or ends above zero."""
    if not ins['samples'] or not ins['samples'][0]['looped']:
        return False
    env, flags = ins.get('envelope', []), ins.get('env_flags', 0)
    return not (flags & 1) or bool(flags & 2) or (env and env[-1][1] > 0)


def hanging_notes(xm):
    """Notes of sustaining voices that ring more than 64 rows before a key-off, a new note or volume 0 on
    their channel, and those still sounding at the last row. Returns (hanging, sounding_at_end), each a list
    of (order, row, channel, instrument name, rows)."""
    ins_of = lambda n: xm['instruments'][n - 1] if 0 < n <= len(xm['instruments']) else None
    hanging, at_end = [], []
    for ch in range(xm['channels']):
        start, count, current, last_ins = None, 0, None, 0
        for o, grid in enumerate(xm['orders']):
            for r, row in enumerate(grid):
                note, inst, vol, eff, par = row[ch]
                if inst:
                    last_ins = inst
                ends = note == NOTE_OFF or (0 < note < NOTE_OFF) or vol == 0x10 or (eff == 12 and par == 0) \
                    or (eff == 20)  # Kxx: key-off
                if ends and start is not None:
                    if count > ROWS_HANGING:
                        hanging.append((*start, count))
                    start = None
                if 0 < note < NOTE_OFF:
                    i = ins_of(inst or last_ins)
                    start = (o, r, ch, i['name'], ) if i and sustaining(i) else None
                    count = 0
                if start is not None:
                    count += 1
        if start is not None:
            at_end.append((*start, count))
            if count > ROWS_HANGING:
                hanging.append((*start, count))
    return hanging, at_end


def pad_progressions(xm, pad_channels=range(6, 12)):
    """Per 64-row order: the pitch-class sets of the pad's chords in the order they start."""
    out = {}
    for o, grid in enumerate(xm['orders']):
        if len(grid) != 64:
            continue
        seq = []
        for row in grid:
            pcs = frozenset((c[0] - 1) % 12 for ch, c in enumerate(row) if ch in pad_channels and 0 < c[0] < NOTE_OFF)
            if pcs and (not seq or seq[-1] != pcs):
                seq.append(pcs)
        if seq:
            out[o] = tuple(tuple(sorted(s)) for s in seq)
    return out


def phrase_openings(xm, channels=(12, 15), notes=4):
    """Per order and melody channel (lead, bell): the first `notes` notes as intervals from the first and
    their rows from the first, which is what the ear takes as 'the same phrase' in any octave."""
    out = []
    for o, grid in enumerate(xm['orders']):
        for ch in channels:
            hits = [(r, row[ch][0]) for r, row in enumerate(grid) if 0 < row[ch][0] < NOTE_OFF]
            if len(hits) >= notes:
                r0, n0 = hits[0]
                out.append((o, ch, tuple((r - r0, n - n0) for r, n in hits[:notes])))
    return out


def counted(keys):
    seen = {}
    for order, k in keys:
        seen.setdefault(k, set()).add(order)
    return sorted(seen.items(), key=lambda kv: -len(kv[1]))


# ---- shared sounds ------------------------------------------------------------------------------------

def sample_as_a4(s, seconds=0.25):
    """The sample played on A-4 at 44.1 kHz (linear interpolation, forward loop), normalised."""
    note = 58
    rate = 8363.0 * 2 ** ((note - 49 + s['relnote'] + math.floor(s['finetune'] / 8) / 16) / 12)
    step, f, out = rate / RATE, 0.0, []
    x = s['frames']
    ls, le = s['loop_start'] // 2, (s['loop_start'] + s['loop_length']) // 2
    for _ in range(int(seconds * RATE)):
        if s['looped'] and f >= le:
            f -= le - ls
        i = int(f)
        if i + 1 >= len(x):
            break
        out.append(x[i] + (x[i + 1] - x[i]) * (f - i))
        f += step
    return out


def correlation(a, b, max_lag):
    """The largest normalised cross-correlation of a and b within +-max_lag frames."""
    n = min(len(a), len(b)) - max_lag
    best = 0.0
    for lag in range(-max_lag, max_lag + 1):
        xa, xb = a[max(0, -lag):max(0, -lag) + n], b[max(0, lag):max(0, lag) + n]
        e = math.sqrt(sum(v * v for v in xa) * sum(v * v for v in xb))
        if e:
            best = max(best, sum(p * q for p, q in zip(xa, xb)) / e)
    return best


def shared_sounds(x1, x2):
    out = []
    for i1, i2 in zip(x1['instruments'], x2['instruments']):
        if not i1['samples'] or not i2['samples']:
            continue
        a, b = sample_as_a4(i1['samples'][0]), sample_as_a4(i2['samples'][0])
        out.append((i2['name'], round(correlation(a, b, int(0.002 * RATE)), 3)))
    return out


# ---- the rendering --------------------------------------------------------------------------------------

def render(xm_path, skip_frames, frames):
    """Stereo float frames from ffmpeg's libopenmpt input, the first skip_frames dropped."""
    raw = subprocess.run(['ffmpeg', '-v', 'error', '-sample_rate', str(RATE), '-i', xm_path, '-f', 'f32le',
                          '-ac', '2', '-ar', str(RATE), '-'], check=True, capture_output=True).stdout
    x = array('f')
    x.frombytes(raw)
    x = x[2 * skip_frames:2 * (skip_frames + frames)]
    return x


def row_starts(xm, first):
    """Frame of each (order, row) from `first` on, and the frame count to the song's end."""
    starts, f = {}, 0
    for o in range(first, len(xm['orders'])):
        for r in range(len(xm['orders'][o])):
            starts[(o, r)] = f
            f += xm['speeds'][o] * TICK
    return starts, f


def prefix(values):
    p = array('d', [0.0])
    acc = 0.0
    for v in values:
        acc += v
        p.append(acc)
    return p


def db(x):
    return 10 * math.log10(max(x, 1e-20))


def measure_render(song, xm, x):
    starts, total = row_starts(xm, FIRST_ORDER[song])
    n = len(x) // 2
    power = [0.5 * (x[2 * i] ** 2 + x[2 * i + 1] ** 2) for i in range(n)]
    mono = [0.5 * (x[2 * i] + x[2 * i + 1]) for i in range(n)]
    a = math.exp(-2 * math.pi * 2000.0 / RATE)  # two one-pole high-passes at 2 kHz, as the song tests
    for _ in range(2):
        y = last = 0.0
        for i, v in enumerate(mono):
            y = a * (y + v - last)
            last = v
            mono[i] = y
    pp, pb = prefix(power), prefix(v * v for v in mono)
    mean = lambda p, a_, b_: (p[min(b_, n)] - p[max(a_, 0)]) / max(1, min(b_, n) - max(a_, 0))
    peak = max(abs(v) for v in x)
    orders = sorted({o for o, _ in starts})
    order_db = {}
    for o in orders:
        a_ = starts[(o, 0)]
        b_ = starts.get((o + 1, 0), total)
        order_db[o] = round(db(mean(pp, a_, b_)), 2)
    after, before = int(0.020 * RATE), int(0.050 * RATE)
    # a hit out of silence counts as 40 dB, as in the song tests
    onset = {k: min(40.0, db(mean(pb, f, f + after)) - db(mean(pb, f - before, f))) for k, f in starts.items()
             if f >= before}
    cue_keys = {(o, r) for o, rows in CUES[song].items() for r in rows}
    cue = sorted(v for k, v in onset.items() if k in cue_keys)
    other = sorted(v for k, v in onset.items() if k not in cue_keys)
    pct = lambda v, q: v[min(len(v) - 1, int(q * len(v)))]
    result = dict(
        peak_dbfs=round(20 * math.log10(peak), 2),
        rms_dbfs=round(db(mean(pp, 0, n)), 2),
        last_second_dbfs=round(db(mean(pp, n - RATE, n)), 2),
        order_db=order_db,
        onset_cue_mean=round(sum(cue) / len(cue), 2), onset_cue_min=round(cue[0], 2),
        onset_other_mean=round(sum(other) / len(other), 2), onset_other_p90=round(pct(other, 0.9), 2),
        onset_cue_minus_other=round(sum(cue) / len(cue) - sum(other) / len(other), 2),
        onset_cue_rows_below_6_over_other_mean=[k for k in sorted(cue_keys) if k in onset and
                                                onset[k] < sum(other) / len(other) + 6],
    )
    if song == 2:
        result['onset_order4_row0'] = round(onset[(4, 0)], 2)
        span = [order_db[o] for o in orders if o <= 25]
        result['order_span_0_25_db'] = round(max(span) - min(span), 2)
    return result


def ffmpeg_meter(wav):
    """Integrated loudness, loudness range and true peak (ebur128), and octave-band levels against 1 kHz."""
    out = subprocess.run(['ffmpeg', '-hide_banner', '-nostats', '-i', wav, '-af', 'ebur128=peak=true', '-f', 'null',
                          '-'], capture_output=True, text=True).stderr
    summary = out[out.rfind('Summary:'):]
    grab = lambda key: float(re.search(key + r':\s+(-?[\d.]+|-inf)', summary).group(1))
    res = dict(integrated_lufs=grab('I'), lra_lu=grab('LRA'), true_peak_dbfs=grab('Peak'))
    bands = {}
    for hz in (63, 125, 250, 500, 1000, 2000, 4000, 8000, 16000):
        o = subprocess.run(['ffmpeg', '-hide_banner', '-nostats', '-i', wav, '-af',
                            f'bandpass=f={hz}:width_type=q:w=1.41,bandpass=f={hz}:width_type=q:w=1.41,'
                            'astats=measure_perchannel=none:measure_overall=RMS_level', '-f', 'null', '-'],
                           capture_output=True, text=True).stderr
        bands[hz] = float(re.findall(r'RMS level dB:\s+(-?[\d.]+)', o)[-1])
    res['bands_vs_1k_db'] = {hz: round(v - bands[1000], 1) for hz, v in bands.items()}
    return res


def write_wav(path, x):
    data = array('h', (max(-32767, min(32767, int(round(v * 32767)))) for v in x))
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 36 + 2 * len(data)) + b'WAVEfmt ' +
                struct.pack('<IHHIIHH', 16, 1, 2, RATE, RATE * 4, 4, 16) + b'data' + struct.pack('<I', 2 * len(data)))
        f.write(data.tobytes())


# Sections for the spectrograms: (name, first order, last order) per song.
SECTIONS = {
    1: [('intro', 1, 4), ('theme', 5, 9), ('flight_lump_end', 10, 14)],
    2: [('fleet_tunnel', 0, 2), ('logo', 3, 4), ('credits', 5, 7), ('scroller_blob', 8, 11), ('particles', 12, 13),
        ('chess', 14, 15), ('grit', 16, 18), ('end', 19, 26)],
}


def spectrograms(song, xm, wav, out):
    starts, total = row_starts(xm, FIRST_ORDER[song])
    for name, a, b in SECTIONS[song]:
        t0 = starts[(a, 0)] / RATE
        t1 = starts.get((b + 1, 0), total) / RATE
        png = os.path.join(out, f'song{song}_{name}.png')
        subprocess.run(['ffmpeg', '-v', 'error', '-y', '-ss', f'{t0:.3f}', '-t', f'{t1 - t0:.3f}', '-i', wav,
                        '-lavfi', 'showspectrumpic=s=1024x384:mode=combined:scale=log:fscale=log:legend=1',
                        png], check=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--build', default='build')
    ap.add_argument('--out', default=None, help='directory for the WAV files and spectrograms')
    ap.add_argument('--spectrograms', action='store_true')
    args = ap.parse_args()
    out = args.out or os.path.join(args.build, 'song_measures')
    os.makedirs(out, exist_ok=True)
    xms = {n: read_xm(os.path.join(args.build, 'qd', 'music', f'{n}.xm')) for n in (1, 2)}
    report = {}
    for n, xm in xms.items():
        starts, total = row_starts(xm, FIRST_ORDER[n])
        skip = sum(len(xm['orders'][o]) * xm['speeds'][o] * TICK for o in range(FIRST_ORDER[n]))
        x = render(os.path.join(args.build, 'qd', 'music', f'{n}.xm'), skip, total)
        wav = os.path.join(out, f'song{n}.wav')
        write_wav(wav, x)
        r = measure_render(n, xm, x)
        r.update(ffmpeg_meter(wav))
        hanging, at_end = hanging_notes(xm)
        r['hanging_notes'] = hanging
        r['sustained_at_last_row'] = at_end
        progs = counted(pad_progressions(xm).items())
        r['progressions'] = len(progs)
        r['most_orders_per_progression'] = [sorted(orders) for _k, orders in progs[:3]]
        phrases = counted((o, k) for o, _ch, k in phrase_openings(xm))
        r['phrase_openings'] = len(phrases)
        r['most_orders_per_phrase_opening'] = [sorted(orders) for _k, orders in phrases[:3]]
        if args.spectrograms:
            spectrograms(n, xm, wav, out)
        report[f'song{n}'] = r
    report['shared_sounds_song2_vs_song1'] = shared_sounds(xms[1], xms[2])
    json.dump(report, sys.stdout, indent=1)
    print()


if __name__ == '__main__':
    main()
