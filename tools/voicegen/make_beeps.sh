#!/bin/sh
# The range beeps that start and stop a timed series: make_beeps.sh <folder> <stamp>. Without sox
# nothing is made and the build goes on; the procedure then runs without beeps.
set -u
out=$1
stamp=$2
mkdir -p "$out" || exit 1
if command -v sox >/dev/null 2>&1; then
    sox -q -n -r 22050 -c 1 -b 16 "$out/beep-start.wav" synth 0.6 sine 1000 fade 0.01 0.6 0.02 vol 0.5 \
        || echo "note: sox could not make beep-start.wav" >&2
    sox -q -n -r 22050 -c 1 -b 16 "$out/beep-stop.wav" synth 1.0 sine 700 fade 0.01 1.0 0.02 vol 0.5 \
        || echo "note: sox could not make beep-stop.wav" >&2
else
    echo "note: sox is not installed; the beeps are not made" >&2
fi
touch "$stamp"
