#pragma once
// A sound manager that renders into memory, named sounds in a temporary folder, and options the
// test sets.
#include "sounds/named_sounds.h"
#include "sounds/sound_manager.h"
#include "wave_helpers.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace kavro::test {

class SoundsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        env.soundDirectory = dir.path() + QLatin1Char('/');
        SetSoundEnvironmentSource([this] { return env; });
        ASSERT_EQ(manager.Initialize([this](Mixer& m) {
            auto out = std::make_unique<WavFileOutput>(m);
            output = out.get();
            return out;
        }),
                  S_OK);
        SetSoundManager(&manager);
    }

    void TearDown() override
    {
        SetSoundManager(nullptr);
        SetSoundEnvironmentSource(nullptr);
    }

    // A named sound holding `frames` frames of one constant value, so what plays tells which.
    void addSound(const QString& name, int16_t value, size_t frames = 50)
    {
        ASSERT_TRUE(writeBytes(dir.filePath(name + ".wav"), monoWave(std::vector<int16_t>(frames, value))));
    }

    // Renders `frames` and returns the left channel of the first of them.
    int16_t renderLeft(size_t frames = 1)
    {
        const size_t at = static_cast<size_t>(output->samples().size() / 4);
        output->render(frames);
        return left(output->samples(), at);
    }

    QTemporaryDir dir;
    SoundEnvironment env;
    SoundManager manager;
    WavFileOutput* output = nullptr;
};

} // namespace kavro::test
