// Named sounds through the whole road: file lookup with the language variant, the manager's
// cache, the buffers of one sound, and the mix that comes out.
#include "sounds_fixture.h"

#include "app_options.h"
#include "app_registry.h"
#include "com/crt_random.h"
#include "language_module.h"

namespace kavro {
namespace {

using NamedSounds = test::SoundsFixture;

TEST_F(NamedSounds, PlaysTheLanguageVariantFirstThenThePlainName)
{
    addSound("Shot.1049", 1049);
    addSound("Shot", 1000);
    env.languageId = 1049;
    EXPECT_EQ(PlayVariantSound("Shot"), 1);
    EXPECT_EQ(renderLeft(60), 1049);
    env.languageId = 1031; // no German variant
    EXPECT_EQ(PlayVariantSound("Shot"), 1);
    EXPECT_EQ(renderLeft(60), 1000);
}

TEST_F(NamedSounds, AMissingSoundFallsBackAndNothingAtAllPlaysNothing)
{
    env.languageId = 1049;
    EXPECT_EQ(PlayVariantSound("Load"), 0);
    EXPECT_EQ(renderLeft(), 0);
    addSound("Load", 700);
    EXPECT_EQ(PlayVariantSound("Load"), 1);
    EXPECT_EQ(renderLeft(), 700);
}

TEST_F(NamedSounds, WithSoundOffNothingPlaysAndThePlainNameIsNotTried)
{
    addSound("Shot", 1000);
    env.soundEnabled = false;
    EXPECT_EQ(PlayNamedSound("Shot"), 1);
    EXPECT_EQ(PlayVariantSound("Shot"), 1);
    EXPECT_EQ(AnnounceResult(10.4f), 1);
    EXPECT_EQ(renderLeft(), 0);
}

TEST_F(NamedSounds, AHostileOrEmptyWaveIsRefusedAndThePlainNameTakesOver)
{
    QByteArray truncated = test::monoWave(std::vector<int16_t>(100, 5000));
    truncated.chop(10);
    ASSERT_TRUE(test::writeBytes(dir.filePath("Unload.1049.wav"), truncated));
    addSound("Unload", 300);
    env.languageId = 1049;
    EXPECT_EQ(PlayVariantSound("Unload"), 1);
    EXPECT_EQ(renderLeft(), 300);

    std::unique_ptr<CSound> sound;
    EXPECT_EQ(manager.CreateSoundFromFile(dir.filePath("Unload.1049.wav"), 0, 5, &sound), E_FAIL);
    ASSERT_TRUE(test::writeBytes(dir.filePath("empty.wav"), test::monoWave({})));
    EXPECT_EQ(manager.CreateSoundFromFile(dir.filePath("empty.wav"), 0, 5, &sound), E_FAIL);
    EXPECT_EQ(manager.CreateSoundFromFile(dir.filePath("absent.wav"), 0, 5, &sound),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(manager.CreateSoundFromFile(dir.filePath("Unload.wav"), 0, 0, &sound), E_INVALIDARG);
}

TEST_F(NamedSounds, ResultsAreAnnouncedWithOneDecimalElseAsAWholeNumber)
{
    addSound("Result 10.0", 100);
    addSound("Result 9", 9);
    EXPECT_EQ(AnnounceResult(9.96f), 1); // 9.96 reads 10.0 with one decimal
    EXPECT_EQ(renderLeft(60), 100);
    ASSERT_TRUE(QFile::remove(dir.filePath("Result 10.0.wav")));
    EXPECT_EQ(AnnounceResult(9.96f), 1);
    EXPECT_EQ(renderLeft(60), 9);
    addSound("Result 10.4.1049", 1049);
    env.languageId = 1049;
    EXPECT_EQ(AnnounceResult(10.4f), 1);
    EXPECT_EQ(renderLeft(60), 1049);
    EXPECT_EQ(AnnounceResult(7.5f), 0);
}

TEST_F(NamedSounds, OneSoundOverlapsItselfOnFiveBuffersMixedWithoutWrapping)
{
    addSound("Shot", 10000, 100);
    const int16_t expected[] = {10000, 20000, 30000, 32767, 32767};
    for (int16_t e : expected) {
        EXPECT_EQ(PlayNamedSound("Shot"), 1);
        EXPECT_EQ(renderLeft(), e);
    }
}

TEST_F(NamedSounds, ASixthPlayGoesToABufferChosenAtRandom)
{
    addSound("Shot", 10, 100);
    std::unique_ptr<CSound> sound;
    ASSERT_EQ(manager.CreateSoundFromFile(dir.filePath("Shot.wav"), 0, 5, &sound), S_OK);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(sound->GetFreeBuffer(), sound->GetBuffer(i));
        ASSERT_EQ(sound->Play(0, 0, 0, -1, 0), S_OK);
    }
    renderLeft(10);
    for (uint32_t seed : {1u, 7u, 12345u}) {
        programRandom().seed(seed);
        const int r = programRandom().next();
        programRandom().seed(seed);
        EXPECT_EQ(sound->GetFreeBuffer(), sound->GetBuffer(static_cast<size_t>(r % 5))) << seed;
    }
    ASSERT_EQ(sound->Play(0, 0, 0, -1, 0), S_OK);
    EXPECT_EQ(renderLeft(), 50); // the sixth play restarted nothing
    renderLeft(100);
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(sound->GetFreeBuffer(), sound->GetBuffer(0));
}

} // namespace
} // namespace kavro

namespace kavro {
namespace {

TEST(NamedSoundsByDefault, FollowTheProgramsOptionsLanguageAndFolder)
{
    AppOptions& options = theAppOptions();
    const AppOptions saved = options;
    options.SoundEnabled = false;
    options.BlindGen = true;
    options.BlindGenFrequencies[3] = 777;
    const SoundEnvironment env = CurrentSoundEnvironment();
    EXPECT_FALSE(env.soundEnabled);
    EXPECT_TRUE(env.blindGen);
    EXPECT_EQ(env.blindGenFrequencies[3], 777);
    EXPECT_EQ(env.languageId, LanguageModule::instance().langId());
    EXPECT_EQ(env.soundDirectory, GetProgramDirectory() + "sounds/");
    EXPECT_EQ(PlayNamedSound("Shot"), 1);
    options.SoundEnabled = true;
    EXPECT_EQ(PlayNamedSound("no such sound"), 0);
    options = saved;
}

} // namespace
} // namespace kavro
