#pragma once
#include "sound/riff_wave.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstring>
#include <vector>

namespace kavro::test {

inline QByteArray pcmBytes(const std::vector<int16_t>& samples)
{
    QByteArray out(static_cast<qsizetype>(samples.size() * 2), Qt::Uninitialized);
    if (!samples.empty())
        std::memcpy(out.data(), samples.data(), samples.size() * 2);
    return out;
}

inline QByteArray monoWave(const std::vector<int16_t>& samples, uint32_t rate = 22050)
{
    return buildRiffWave(WaveFormat::pcm(1, rate, 16), pcmBytes(samples));
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Left and right sample of frame `i` of interleaved 16-bit stereo.
inline int16_t left(const QByteArray& stereo, size_t i)
{
    int16_t v;
    std::memcpy(&v, stereo.constData() + 4 * i, 2);
    return v;
}

inline int16_t right(const QByteArray& stereo, size_t i)
{
    int16_t v;
    std::memcpy(&v, stereo.constData() + 4 * i + 2, 2);
    return v;
}

} // namespace kavro::test
