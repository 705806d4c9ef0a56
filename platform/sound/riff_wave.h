#pragma once
// RIFF WAVE files: a reader that checks every chunk length against the bytes it was given and
// never reads past them, and the writer of the mixer's recordings.
#include "com/hresult.h"
#include "sound/wave_format.h"

#include <QByteArray>
#include <QString>

namespace kavro {

// The parse of a wave file held in memory: its format and where its sample data lie.
struct RiffWave {
    WaveFormat format;
    qsizetype dataOffset = 0;
    uint32_t dataSize = 0;
};

// The largest wave file we read whole; the trainer's own sounds are a few hundred kilobytes.
constexpr int64_t kMaxWaveFileBytes = 64 * 1024 * 1024;

// Parses `bytes`. A file that is not RIFF "WAVE", lacks a "fmt " chunk of at least 16 bytes or a
// "data" chunk, or has a chunk that claims more bytes than follow it, gives E_FAIL with the reason
// in `*error` (may be null). The format is taken as stored; playability is the caller's question.
HRESULT parseRiffWave(const QByteArray& bytes, RiffWave* out, QString* error);

// Reads and parses a file; failures to read keep their own codes.
HRESULT readRiffWaveFile(const QString& path, QByteArray* bytes, RiffWave* out, QString* error);

// A chunk: its tag, its little-endian size, its body and the pad byte an odd size needs.
QByteArray riffChunk(const char (&tag)[5], const QByteArray& body);
// The 16-byte body of a PCM "fmt " chunk.
QByteArray pcmFormatChunkBody(const WaveFormat& format);

// A canonical PCM wave file: RIFF header, a 16-byte "fmt " chunk and one "data" chunk.
QByteArray buildRiffWave(const WaveFormat& format, const QByteArray& samples);

} // namespace kavro
