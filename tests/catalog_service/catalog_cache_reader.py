#!/usr/bin/python3
"""Reads a catalog cache file on its own and prints its live records as JSON.

Written from the file's layout only: a 64-byte header (format mark 7, mapped size, live document
and non-document counts, deleted count, zeros, end mark 0x3FFFFFFF) and records from offset 64
(state, 0xFFFF5FFF, length 71 + 2n, file version, size, write time, date, shot count, result sum,
decimal sum, F-coefficient, five text lengths, the UTF-16LE texts, end mark 0xF0FA). Exits with 2
when the file is not in order.
"""
import json
import struct
import sys


def fail(why):
    print(why, file=sys.stderr)
    sys.exit(2)


def main(path):
    data = open(path, "rb").read()
    if len(data) < 64:
        fail("short header")
    mark, mapped, documents, others, deleted = struct.unpack_from("<5I", data, 0)
    (end_mark,) = struct.unpack_from("<I", data, 60)
    if mark != 7 or end_mark != 0x3FFFFFFF:
        fail("bad marks")
    if mapped > len(data) or mapped < 64:
        fail("bad mapped size")
    if any(data[20:60]):
        fail("header padding is not zero")
    records = []
    at = 64
    seen_docs = seen_others = 0
    while seen_docs + seen_others < documents + others:
        if at + 71 > mapped:
            fail("record beyond the mapped size")
        state, constant, length = struct.unpack_from("<BII", data, at)
        if constant != 0xFFFF5FFF or state not in (0, 1, 2):
            fail("bad record at %d" % at)
        lengths = struct.unpack_from("<5I", data, at + 49)
        n = sum(lengths)
        if length != 71 + 2 * n or at + length > mapped:
            fail("bad record length at %d" % at)
        (end,) = struct.unpack_from("<H", data, at + 69 + 2 * n)
        if end != 0xF0FA:
            fail("bad end mark at %d" % at)
        if state != 1:
            version, size, time_low, time_high = struct.unpack_from("<iIII", data, at + 9)
            date_bits, shots, result, decimal_bits, fcoef = struct.unpack_from("<QiiIi", data, at + 25)
            texts = []
            offset = at + 69
            for count in lengths:
                texts.append(data[offset:offset + 2 * count].decode("utf-16-le", "surrogatepass"))
                offset += 2 * count
            records.append({
                "state": state,
                "fileVersion": version,
                "fileSize": size,
                "writeTime": str(time_low | (time_high << 32)),
                "date": "%016x" % date_bits,
                "shotCount": shots,
                "resultSum": result,
                "decimalSum": "%08x" % decimal_bits,
                "fCoefficient": fcoef,
                "path": texts[0],
                "event": texts[1],
                "shooter": texts[2],
                "comments": texts[3],
                "position": texts[4],
            })
            if state == 0:
                seen_docs += 1
            else:
                seen_others += 1
            if seen_docs > documents or seen_others > others:
                fail("more live records of a kind than counted")
        at += length
    print(json.dumps({"documents": documents, "nonDocuments": others, "deleted": deleted,
                      "mappedSize": mapped, "records": records}, ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1])
