#include "sound/riff_wave.h"

#include "storage/file/atomic_file.h"

#include <QtEndian>

#include <cstring>

namespace kavro {

namespace {

HRESULT refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return E_FAIL;
}

uint16_t readLe16(const char* p)
{
    return qFromLittleEndian<uint16_t>(p);
}

uint32_t readLe32(const char* p)
{
    return qFromLittleEndian<uint32_t>(p);
}

template <class T> void appendLe(QByteArray& out, T v)
{
    char bytes[sizeof(T)];
    qToLittleEndian(v, bytes);
    out.append(bytes, sizeof(T));
}

bool tagIs(const char* p, const char* tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

HRESULT parseFormat(const char* chunk, uint32_t size, WaveFormat* out, QString* error)
{
    if (size < 16)
        return refuse(error, QStringLiteral("the format chunk holds %1 bytes, fewer than 16").arg(size));
    WaveFormat f;
    f.formatTag = readLe16(chunk);
    f.channels = readLe16(chunk + 2);
    f.samplesPerSec = readLe32(chunk + 4);
    f.avgBytesPerSec = readLe32(chunk + 8);
    f.blockAlign = readLe16(chunk + 12);
    f.bitsPerSample = readLe16(chunk + 14);
    if (f.formatTag != kWaveFormatPcm) {
        if (size < 18)
            return refuse(error, QStringLiteral("the format chunk of a non-PCM format lacks its extra size"));
        const uint16_t cbSize = readLe16(chunk + 16);
        if (18u + cbSize > size)
            return refuse(error, QStringLiteral("the format's %1 extra bytes do not fit in its chunk").arg(cbSize));
        f.extra = QByteArray(chunk + 18, cbSize);
    }
    *out = f;
    return S_OK;
}

} // namespace

HRESULT parseRiffWave(const QByteArray& bytes, RiffWave* out, QString* error)
{
    if (!out)
        return E_POINTER;
    const char* base = bytes.constData();
    const qsizetype fileSize = bytes.size();
    if (fileSize < 12 || !tagIs(base, "RIFF") || !tagIs(base + 8, "WAVE"))
        return refuse(error, QStringLiteral("not a RIFF WAVE file"));
    const qsizetype riffSize = readLe32(base + 4);
    if (riffSize < 4 || 8 + riffSize > fileSize)
        return refuse(
            error, QStringLiteral("the RIFF chunk claims %1 bytes, the file holds %2").arg(riffSize).arg(fileSize - 8));
    const qsizetype end = 8 + riffSize;

    RiffWave wave;
    bool haveFormat = false;
    bool haveData = false;
    qsizetype pos = 12;
    while (end - pos >= 8 && !(haveFormat && haveData)) {
        const char* header = base + pos;
        const qsizetype size = readLe32(header + 4);
        const qsizetype body = pos + 8;
        if (size > end - body)
            return refuse(error,
                          QStringLiteral("the chunk \"%1\" at offset %2 claims %3 bytes, %4 remain")
                              .arg(QString::fromLatin1(header, 4))
                              .arg(pos)
                              .arg(size)
                              .arg(end - body));
        if (!haveFormat && tagIs(header, "fmt ")) {
            const HRESULT hr = parseFormat(base + body, static_cast<uint32_t>(size), &wave.format, error);
            if (FAILED(hr))
                return hr;
            haveFormat = true;
        } else if (!haveData && tagIs(header, "data")) {
            wave.dataOffset = body;
            wave.dataSize = static_cast<uint32_t>(size);
            haveData = true;
        }
        // Chunks are word-aligned; a pad byte missing at the very end is tolerated by the loop test.
        pos = body + size + (size & 1);
    }
    if (!haveFormat)
        return refuse(error, QStringLiteral("the file has no format chunk"));
    if (!haveData)
        return refuse(error, QStringLiteral("the file has no data chunk"));
    *out = wave;
    return S_OK;
}

HRESULT readRiffWaveFile(const QString& path, QByteArray* bytes, RiffWave* out, QString* error)
{
    if (!bytes || !out)
        return E_POINTER;
    const HRESULT hr = readWholeFile(path, bytes, kMaxWaveFileBytes);
    if (FAILED(hr)) {
        if (error)
            *error = QStringLiteral("cannot read the file");
        return hr;
    }
    return parseRiffWave(*bytes, out, error);
}

QByteArray riffChunk(const char (&tag)[5], const QByteArray& body)
{
    QByteArray out(tag, 4);
    appendLe(out, static_cast<uint32_t>(body.size()));
    out.append(body);
    if (body.size() & 1)
        out.append('\0');
    return out;
}

QByteArray pcmFormatChunkBody(const WaveFormat& format)
{
    QByteArray body;
    appendLe(body, format.formatTag);
    appendLe(body, format.channels);
    appendLe(body, format.samplesPerSec);
    appendLe(body, format.avgBytesPerSec);
    appendLe(body, format.blockAlign);
    appendLe(body, format.bitsPerSample);
    return body;
}

QByteArray buildRiffWave(const WaveFormat& format, const QByteArray& samples)
{
    const QByteArray chunks = riffChunk("fmt ", pcmFormatChunkBody(format)) + riffChunk("data", samples);
    QByteArray out("RIFF", 4);
    appendLe(out, static_cast<uint32_t>(4 + chunks.size()));
    out.append("WAVE", 4);
    out.append(chunks);
    return out;
}

} // namespace kavro
