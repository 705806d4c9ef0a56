#!/bin/sh
# Speaks one language's named sounds into wave files: make_voices.sh <table.voice> <folder> <stamp>
# A table's lines are "key<TAB>value": langid ("plain" for the names without a language suffix),
# voice (an espeak-ng voice), decimal (the spoken decimal mark), then "sound name<TAB>text".
# The results "Result 0.0" to "Result 10.9" and "Result 0" to "Result 10" follow from the decimal
# mark. Without espeak-ng or the voice nothing is made and the build goes on: the program then
# plays the plain sound, or nothing.
#
# Starting espeak-ng costs ten times more than speaking a phrase, so all phrases are spoken in one
# run with long pauses between them, and sox cuts that at the pauses. Should the cut not give one
# piece per phrase, each phrase is spoken on its own instead.
set -u
table=$1
out=$2
stamp=$3
tab=$(printf '\t')

setting() {
    awk -F "$tab" -v key="$1" '$1 == key { print $2; exit }' "$table"
}

finish() {
    rm -rf "$work"
    touch "$stamp"
    exit 0
}

work=""
mkdir -p "$out" || exit 1
langid=$(setting langid)
voice=$(setting voice)
decimal=$(setting decimal)
if ! command -v espeak-ng >/dev/null 2>&1; then
    echo "note: espeak-ng is not installed; the spoken sounds of $(basename "$table") are not made" >&2
    finish
fi
suffix=""
[ "$langid" = plain ] || suffix=".$langid"
work=$(mktemp -d "$out/.voices$suffix.XXXXXX") || exit 1
if ! espeak-ng -v "$voice" -w "$work/probe.wav" "1" >/dev/null 2>&1; then
    echo "note: espeak-ng has no voice \"$voice\"; the sounds of $(basename "$table") are not made" >&2
    finish
fi

# Every phrase as "name<TAB>text", in order.
{
    grep -v '^#' "$table" | awk -F "$tab" '$1 != "langid" && $1 != "voice" && $1 != "decimal" && $1 != ""'
    whole=0
    while [ $whole -le 10 ]; do
        printf 'Result %s\t%s\n' "$whole" "$whole"
        tenth=0
        while [ $tenth -le 9 ]; do
            printf 'Result %s.%s\t%s%s%s\n' "$whole" "$tenth" "$whole" "$decimal" "$tenth"
            tenth=$((tenth + 1))
        done
        whole=$((whole + 1))
    done
} > "$work/phrases"
count=$(wc -l < "$work/phrases")

speak_each() {
    while IFS="$tab" read -r name text; do
        espeak-ng -v "$voice" -w "$out/$name$suffix.wav" "$text" >/dev/null 2>&1 \
            || echo "note: could not speak \"$name\" with voice $voice" >&2
    done < "$work/phrases"
}

if ! command -v sox >/dev/null 2>&1; then
    speak_each
    finish
fi
awk -F "$tab" '{ printf "%s<break time=\"1200ms\"/>\n", $2 }' "$work/phrases" > "$work/all.ssml"
if espeak-ng -m -v "$voice" -w "$work/all.wav" -f "$work/all.ssml" >/dev/null 2>&1 \
    && sox "$work/all.wav" "$work/piece.wav" silence 1 0.01 0.1% 1 0.7 0.1% : newfile : restart 2>/dev/null; then
    pieces=$(ls "$work" | grep -c '^piece')
else
    pieces=0
fi
# sox leaves an empty piece after the last pause.
if [ "$pieces" -eq "$count" ] || [ "$pieces" -eq $((count + 1)) ]; then
    i=1
    while IFS="$tab" read -r name text; do
        mv -f "$work/$(printf 'piece%03d.wav' $i)" "$out/$name$suffix.wav"
        i=$((i + 1))
    done < "$work/phrases"
else
    speak_each
fi
finish
