// Wave files: files written by sox are read as sox reads them, ours are read back by sox, and no
// truncated or lying file is accepted or read past its end.
#include "wave_helpers.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <string>

namespace kavro {
namespace {

using test::pcmBytes;
using test::writeBytes;

bool haveSox()
{
    return std::system("sox --version > /dev/null 2>&1") == 0;
}

QByteArray runCommand(const std::string& command)
{
    QByteArray out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, p)) > 0)
        out.append(chunk, static_cast<qsizetype>(n));
    pclose(p);
    return out;
}

void appendChunk(QByteArray& out, const char (&tag)[5], const QByteArray& body)
{
    out.append(riffChunk(tag, body));
}

void appendLe32(QByteArray& out, uint32_t v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    out.append(bytes, 4);
}

void appendLe16(QByteArray& out, uint16_t v)
{
    char bytes[2];
    qToLittleEndian(v, bytes);
    out.append(bytes, 2);
}

QByteArray riff(const QByteArray& chunks)
{
    QByteArray out("RIFF");
    appendLe32(out, static_cast<uint32_t>(4 + chunks.size()));
    out.append("WAVE");
    out.append(chunks);
    return out;
}

QByteArray pcmFormatChunk(uint16_t channels, uint32_t rate, uint16_t bits)
{
    return pcmFormatChunkBody(WaveFormat::pcm(channels, rate, bits));
}

TEST(RiffWave, ReadsWhatSoxWritesAsSoxDecodesIt)
{
    if (!haveSox())
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("sine.wav");
    ASSERT_EQ(std::system(("sox -n -r 22050 -c 1 -b 16 '" + path.toStdString() + "' synth 0.1 sine 440").c_str()), 0);
    QByteArray bytes;
    RiffWave wave;
    QString error;
    ASSERT_EQ(readRiffWaveFile(path, &bytes, &wave, &error), S_OK) << error.toStdString();
    EXPECT_EQ(wave.format, WaveFormat::pcm(1, 22050, 16));
    EXPECT_EQ(wave.dataSize, 4410u);
    const QByteArray raw = runCommand("sox '" + path.toStdString() + "' -t raw -");
    EXPECT_EQ(bytes.mid(wave.dataOffset, wave.dataSize), raw);
}

TEST(RiffWave, SoxReadsWhatWeWrite)
{
    if (!haveSox())
        GTEST_SKIP() << "sox is not installed";
    std::vector<int16_t> samples;
    for (int i = 0; i < 300; ++i)
        samples.push_back(static_cast<int16_t>(i * 97 - 15000));
    QTemporaryDir dir;
    const QString path = dir.filePath("ours.wav");
    ASSERT_TRUE(writeBytes(path, buildRiffWave(WaveFormat::pcm(2, 22050, 16), pcmBytes(samples))));
    const std::string p = "'" + path.toStdString() + "'";
    EXPECT_EQ(runCommand("soxi -c " + p).trimmed(), "2");
    EXPECT_EQ(runCommand("soxi -r " + p).trimmed(), "22050");
    EXPECT_EQ(runCommand("soxi -s " + p).trimmed(), "150");
    EXPECT_EQ(runCommand("sox " + p + " -t raw -"), pcmBytes(samples));
}

TEST(RiffWave, SkipsOddChunksWithTheirPadByteAndFindsChunksInAnyOrder)
{
    QByteArray chunks;
    appendChunk(chunks, "LIST", "abc");
    appendChunk(chunks, "data", pcmBytes({1, -2, 3}));
    appendChunk(chunks, "fmt ", pcmFormatChunk(1, 11025, 16));
    const QByteArray file = riff(chunks);
    RiffWave wave;
    ASSERT_EQ(parseRiffWave(file, &wave, nullptr), S_OK);
    EXPECT_EQ(wave.format, WaveFormat::pcm(1, 11025, 16));
    EXPECT_EQ(wave.dataOffset, 12 + 8 + 4 + 8);
    EXPECT_EQ(file.mid(wave.dataOffset, wave.dataSize), pcmBytes({1, -2, 3}));
}

TEST(RiffWave, RefusesEveryTruncationOfAValidFile)
{
    QByteArray chunks;
    appendChunk(chunks, "fmt ", pcmFormatChunk(2, 22050, 16));
    appendChunk(chunks, "LIST", "x");
    appendChunk(chunks, "data", pcmBytes(std::vector<int16_t>(64, 1234)));
    const QByteArray file = riff(chunks);
    RiffWave wave;
    ASSERT_EQ(parseRiffWave(file, &wave, nullptr), S_OK);
    for (qsizetype n = 0; n < file.size(); ++n) {
        // A copy of exactly n bytes, so a read past its end is a read past the allocation.
        const QByteArray cut(file.constData(), n);
        QString error;
        EXPECT_EQ(parseRiffWave(cut, &wave, &error), E_FAIL) << "length " << n;
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(RiffWave, RefusesChunksThatLieAboutTheirLength)
{
    const auto refused = [](const QByteArray& file) {
        RiffWave wave;
        QString error;
        return parseRiffWave(file, &wave, &error) == E_FAIL && !error.isEmpty();
    };
    QByteArray fmt;
    appendChunk(fmt, "fmt ", pcmFormatChunk(1, 22050, 16));

    // A data chunk that claims far more than the file holds, with the RIFF size consistent.
    QByteArray huge = fmt;
    huge.append("data");
    appendLe32(huge, 0xFFFFFFF0u);
    huge.append("abcd");
    EXPECT_TRUE(refused(riff(huge)));

    // A RIFF size beyond the file, and one too small for its form type.
    QByteArray longer = riff(fmt);
    longer[4] = static_cast<char>(longer[4] + 2);
    EXPECT_TRUE(refused(longer));
    QByteArray tiny = riff(fmt);
    tiny[4] = 3;
    tiny[5] = tiny[6] = tiny[7] = 0;
    EXPECT_TRUE(refused(tiny));

    // A format chunk shorter than its fixed part; a non-PCM format whose extra bytes overrun it.
    QByteArray shortFmt;
    appendChunk(shortFmt, "fmt ", pcmFormatChunk(1, 22050, 16).left(14));
    appendChunk(shortFmt, "data", "ab");
    EXPECT_TRUE(refused(riff(shortFmt)));
    QByteArray extFmtBody = pcmFormatChunk(1, 22050, 16);
    extFmtBody[0] = 2;
    appendLe16(extFmtBody, 100);
    QByteArray extFmt;
    appendChunk(extFmt, "fmt ", extFmtBody);
    appendChunk(extFmt, "data", "ab");
    EXPECT_TRUE(refused(riff(extFmt)));

    // Missing chunks, other forms, and a data chunk that lies beyond the RIFF chunk's end.
    EXPECT_TRUE(refused(riff(fmt)));
    QByteArray dataOnly;
    appendChunk(dataOnly, "data", "ab");
    EXPECT_TRUE(refused(riff(dataOnly)));
    QByteArray rifx = riff(fmt + dataOnly);
    rifx[3] = 'X';
    EXPECT_TRUE(refused(rifx));
    EXPECT_TRUE(refused(riff(fmt) + dataOnly));
}

} // namespace
} // namespace kavro
