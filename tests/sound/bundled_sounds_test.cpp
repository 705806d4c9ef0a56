// The sounds made at build time: every name the trainer plays is there, in a format the mixer
// plays, and holds speech rather than silence.
#include "sounds/wave_source.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kavro {
namespace {

int peakOf(CWaveDiskFile& wave)
{
    std::vector<uint8_t> data(wave.GetSize());
    uint32_t got = 0;
    EXPECT_EQ(wave.Read(data.data(), wave.GetSize(), &got), S_OK);
    int peak = 0;
    for (size_t i = 0; i + 1 < got; i += 2) {
        int16_t v;
        std::memcpy(&v, data.data() + i, 2);
        peak = std::max(peak, std::abs(int(v)));
    }
    return peak;
}

TEST(BundledSounds, EveryNamePlayedIsThereAndAudible)
{
    const QDir sounds(QStringLiteral(KAVRO_BIN_DIR "/sounds"));
    if (!sounds.exists(QStringLiteral("Shot.wav")))
        GTEST_SKIP() << "this build had no espeak-ng to make the spoken sounds";
    QStringList names = {"Shot",
                         "Load",
                         "Attention",
                         "Unload",
                         "For the sighting series - load",
                         "For the first competion series - load",
                         "For the next competition series - load",
                         "Result 0",
                         "Result 10",
                         "Result 0.0",
                         "Result 9.5",
                         "Result 10.9",
                         "Shot.1049",
                         "Result 10.4.1031",
                         "Load.2052"};
    if (sounds.exists(QStringLiteral("beep-start.wav")))
        names << "beep-start"
              << "beep-stop";
    for (const QString& name : names) {
        CWaveDiskFile wave;
        ASSERT_EQ(wave.Open(sounds.filePath(name + ".wav")), S_OK) << name.toStdString();
        EXPECT_TRUE(wave.GetFormat().isPlayablePcm()) << name.toStdString();
        EXPECT_EQ(wave.GetFormat().bitsPerSample, 16);
        EXPECT_GT(wave.GetSize(), 22050u / 5) << name.toStdString(); // at least 100 ms
        EXPECT_GT(peakOf(wave), 3000) << name.toStdString();
    }
}

} // namespace
} // namespace kavro
