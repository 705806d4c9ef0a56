#!/usr/bin/python3
"""Prints what python3-olefile sees in a compound file, as JSON: the root class id and, for
every stream directly under the root, its size and the SHA-256 of its bytes."""
import hashlib
import json
import sys

import olefile


def main(path):
    # Structural faults raise instead of being tolerated, so the check is strict.
    with olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT) as ole:
        streams = {}
        for entry in ole.listdir(streams=True, storages=False):
            if len(entry) != 1:
                continue
            data = ole.openstream(entry).read()
            streams[entry[0]] = {
                "size": ole.get_size(entry),
                "sha256": hashlib.sha256(data).hexdigest(),
            }
        print(json.dumps({"root_clsid": ole.root.clsid, "streams": streams}))


if __name__ == "__main__":
    main(sys.argv[1])
