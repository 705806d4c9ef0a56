#!/usr/bin/python3
"""Writes documents of the older raw format, field by field from its layout, for the reader's
tests. Usage: raw_writer.py FOLDER   (writes the files named below into FOLDER)"""
import os
import struct
import sys


def i32(v):
    return struct.pack('<i', v)


def u32(v):
    return struct.pack('<I', v)


def text(s):
    """A string field: byte count and Windows-1252 bytes; None is the count -1."""
    if s is None:
        return i32(-1)
    raw = s if isinstance(s, bytes) else s.encode('cp1252')
    return i32(len(raw)) + raw


def aiming(version=6, flags=0, comments=('', ''), start=0, shot=0, shot_sample=0, rate=200,
           scale=20, points=((0, 0),), count=None):
    b = i32(version) + u32(flags)
    b += text('ignored') + text(comments[0]) + text(None) + text(comments[1]) + text('')
    if version >= 2:
        b += i32(11)
    if version >= 6:
        b += struct.pack('<hh', 1, 2)
    b += u32(start) + i32(12) + u32(shot)
    if version >= 5:
        b += i32(13)
    b += i32(14) + i32(shot_sample) + i32(rate) + i32(15) + i32(scale)
    if version >= 4:
        b += i32(16)
    b += b''.join(i32(100 + k) for k in range(10))
    b += i32(len(points) if count is None else count)
    b += b''.join(struct.pack('<hh', x, y) for x, y in points)
    return b


def document(version, event, shooter, comments, f, aimings, header_length=21, v6_string='v6'):
    b = b'KAVRO' + i32(header_length) + bytes(range(header_length)) + i32(version)
    if version >= 3:
        b += i32(3)
    b += text(event) + text(shooter) + text(comments[0]) + text('ignored') + text(comments[1])
    if version >= 6:
        b += text(v6_string)
    if version >= 2:
        b += i32(2)
    if version >= 5:
        b += i32(5) + i32(5)
    b += b''.join(i32(k) for k in range(5)) + i32(f) + i32(0) * 3
    b += i32(len(aimings)) + b''.join(aimings)
    return b


SBR50 = 'smallbore free rifle THREE positions 50 meters'

FILES = {
    # Three aimings of every layout version, prone, with comments and a too-long string.
    'sbr50_v7.raw': document(
        7, SBR50, b'J\xf6rg M\x80ller', ('first', 'second'), 150, [
            aiming(6, 0x40 | 0x10, ('', 'steady'), 100000, 100002, 2, 200, 20,
                   [(20, -40), (0, 0), (-21, 41), (1, 1), (3276, -3276)]),
            aiming(3, 0x10 | 0x4000, ('a', 'b'), 100, 0, 399, 200, 10,
                   [(k, -k) for k in range(400)]),
            aiming(1, 0x40 | 0x10, ('', ''), 5000, 5001, -1, 500, -10, [(7, 7)]),
        ], v6_string='x' * 600),
    # Version 2 with a header of 10 bytes: its version sits at byte 19.
    'ap10_v2.raw': document(
        2, 'Air Pistol 10 Meters', 'Anna', ('', 'orphan'), 0, [
            aiming(2, 0x8, ('c', ''), 200, 201, 0, 100, 1, [(1, 2), (3, 4)]),
        ], header_length=10),
    'mixed_positions.raw': document(
        7, SBR50, 'Mixed', ('', ''), 0, [
            aiming(6, 0x8, points=[(1, 1)]), aiming(6, 0x10, points=[(1, 1)])]),
    'scale0.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6, scale=0)]),
    'rate10.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6, rate=10)]),
    'rate501.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6, rate=501)]),
    # Aimings without a usable rate or scale between readable ones.
    'some_unusable.raw': document(7, SBR50, 'S', ('', ''), 0, [
        aiming(6, 0x40, points=[(20, 20)]),
        aiming(6, 0x40, rate=10, points=[(1, 1), (2, 2)]),
        aiming(3, 0x40, scale=0, points=[(3, 3)] * 3),
        aiming(6, 0x40, rate=501),
        aiming(1, 0x40, points=[(40, -40), (60, 60)])]),
    'points0.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6, points=[])]),
    'points16381.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6, count=16381)]),
    'points_negative.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6, count=-1)]),
    'points_missing.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6, count=3)]),
    'unknown_event.raw': document(7, 'Running Deer 50 Meters', 'S', ('', ''), 0, [aiming(6)]),
    'header_length.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6)], header_length=11),
    'count_beyond_file.raw': document(7, SBR50, 'S', ('', ''), 0, [aiming(6)])[:-8] + b'',
}


def main():
    folder = sys.argv[1]
    for name, data in FILES.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
