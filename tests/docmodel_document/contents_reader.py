#!/usr/bin/python3
"""Reads a practice document's "Contents" stream on its own, from the stored layouts alone, and
prints what it holds as JSON in the form of the C++ dump's "stored" part.

Usage: contents_reader.py FILE CLSID   (CLSID: the expected root class id, registry form)
"""
import json
import struct
import sys
import uuid

import olefile

INVALID = 2147483647
FIXED = {16: '<b', 17: '<B', 2: '<h', 11: '<h', 18: '<H', 3: '<i', 10: '<i', 22: '<i',
         19: '<I', 23: '<I', 20: '<q', 6: '<q', 21: '<Q'}
FLOAT_SIZES = {4: 4, 5: 8, 7: 8}
VT_BSTR, VT_DISPATCH, VT_UNKNOWN = 8, 9, 13
NULL_CLSID = bytes(16)


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, n):
        if self.pos + n > len(self.data):
            raise ValueError('stream ends at %d, %d more bytes wanted' % (len(self.data), n))
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def unpack(self, fmt):
        return struct.unpack(fmt, self.take(struct.calcsize(fmt)))[0]

    def i32(self):
        return self.unpack('<i')

    def bstr(self):
        n = self.unpack('<I')
        if n == 0:
            return None
        raw = self.take(n)
        if n % 2 or raw[-2:] != b'\0\0':
            raise ValueError('bad string')
        return raw[:-2].decode('utf-16-le', 'surrogatepass')

    def at_end(self):
        return self.pos == len(self.data)


def variant(r):
    vt = r.unpack('<H')
    if vt in FIXED:
        return {'vt': vt, 'v': str(r.unpack(FIXED[vt]))}
    if vt in FLOAT_SIZES:
        return {'vt': vt, 'v': r.take(FLOAT_SIZES[vt]).hex()}
    if vt in (VT_DISPATCH, VT_UNKNOWN):
        clsid = r.take(16)
        if clsid == NULL_CLSID:
            return {'vt': vt, 'clsid': clsid.hex(), 'v': ''}
        # Only the last value of a stream may be an object: its own stream runs to the end.
        rest = r.take(len(r.data) - r.pos)
        return {'vt': vt, 'clsid': clsid.hex(), 'v': rest.hex()}
    # Every other type is stored as its text.
    return {'vt': vt, 'v': r.bstr()}


def bag(r):
    count = r.i32()
    out = {}
    for _ in range(count):
        key = r.bstr()
        out[key] = variant(r)
    return out


def channel(r, n):
    """Runs of a header byte (class, width of the length), a length and the samples."""
    values, prev = [], 0
    while len(values) < n:
        head = r.unpack('<B')
        width = {0x10: '<B', 0x20: '<H', 0x30: '<I'}.get(head & 0xf0)
        if width is None:
            raise ValueError('bad run header %#x' % head)
        length = r.unpack(width)
        if len(values) + length > n:
            raise ValueError('run beyond the channel')
        kind = head & 0x0f
        for _ in range(length):
            if kind == 0:
                values.append(INVALID)
                continue
            if kind == 1:
                prev = (prev + r.unpack('<b')) & 0xffffffff
            elif kind == 2:
                prev = (prev + r.unpack('<h')) & 0xffffffff
            elif kind == 3:
                prev = r.unpack('<I')
            else:
                raise ValueError('bad run class %d' % kind)
            values.append(prev - (1 << 32) if prev >= 1 << 31 else prev)
    return values


def trace(r):
    version = r.i32()
    if version != 4:
        raise ValueError('trace version %d' % version)
    first, count = r.i32(), r.i32()
    out = {'first': first, 'count': max(count, 0), 'x': [], 'y': [], 'channels': []}
    if count <= 0:
        return out
    r.unpack('<B')  # 16-bit forms: how the reader holds them, not what they are
    out['x'] = channel(r, count)
    out['y'] = channel(r, count)
    for index in range(1, r.i32() + 1):
        r.unpack('<B')
        name = r.bstr()
        out['channels'].append({'index': index, 'name': name, 'values': channel(r, count)})
    return out


def attributes(r):
    version = r.i32()
    if version != 3:
        raise ValueError('attributes version %d' % version)
    event = r.bstr()
    start, enter = r.take(8).hex(), r.take(8).hex()
    rate, f = r.i32(), r.i32()
    match = r.unpack('<B') != 0
    sub = r.i32()
    return {'event': event, 'start': start, 'enter': enter, 'rate': rate, 'f': f,
            'match': match, 'subTarget': sub, 'values': bag(r)}


def shot(r):
    version = r.i32()
    if version != 3:
        raise ValueError('shot version %d' % version)
    missed = r.unpack('<B') != 0
    hidden = r.unpack('<B') != 0
    index = r.i32()
    time = r.take(8).hex()
    return {'missed': missed, 'hidden': hidden, 'traceIndex': index, 'time': time, 'values': bag(r)}


def aiming(r):
    if r.i32() != 2:
        raise ValueError('aiming version')
    r.take(16)
    attr = attributes(r)
    r.take(16)
    tr = trace(r)
    shots = []
    for _ in range(r.i32()):
        r.take(16)
        shots.append(shot(r))
    return {'attr': attr, 'trace': tr, 'shots': shots}


def contents(data):
    r = Reader(data)
    version = r.i32()
    shooter = r.bstr()
    r.take(16)
    if r.i32() != 2:
        raise ValueError('collection version')
    count = r.i32()
    event = r.bstr()
    aimings = []
    for _ in range(count):
        r.take(16)
        aimings.append(aiming(r))
    values = bag(r) if version >= 2 else {}
    if not r.at_end():
        raise ValueError('%d bytes after the document' % (len(data) - r.pos))
    return {'version': version, 'shooter': shooter, 'event': event, 'aimings': aimings,
            'values': values}


def main():
    path, clsid = sys.argv[1], uuid.UUID(sys.argv[2])
    ole = olefile.OleFileIO(path)
    if ole.root.clsid.upper() != str(clsid).upper():
        sys.exit('root class %s, not %s' % (ole.root.clsid, clsid))
    if ole.listdir() != [['Contents']]:
        sys.exit('streams: %r' % ole.listdir())
    print(json.dumps(contents(ole.openstream('Contents').read())))


if __name__ == '__main__':
    main()
