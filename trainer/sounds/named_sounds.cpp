#include "sounds/named_sounds.h"

#include "app_options.h"
#include "app_registry.h"
#include "com/numeric.h"
#include "kavrodoc.h"
#include "language_module.h"
#include "sounds/sound_manager.h"

#include <algorithm>
#include <mutex>

namespace kavro {

namespace {

constexpr uint32_t kNamedSoundBuffers = 5;

std::mutex g_lock;
SoundEnvironmentSource g_source;
SoundManager* g_manager = nullptr;

SoundEnvironment fromOptions()
{
    const AppOptions& options = theAppOptions();
    SoundEnvironment env;
    env.soundEnabled = options.SoundEnabled;
    env.blindGen = options.BlindGen;
    std::copy(options.BlindGenFrequencies.begin(), options.BlindGenFrequencies.end(), env.blindGenFrequencies.begin());
    env.languageId = LanguageModule::instance().langId();
    env.soundDirectory = SoundDirectoryFor(GetProgramDirectory());
    return env;
}

} // namespace

QString SoundDirectoryFor(const QString& programDirectory)
{
    return programDirectory + QStringLiteral("sounds/");
}

void SetSoundEnvironmentSource(SoundEnvironmentSource source)
{
    std::lock_guard g(g_lock);
    g_source = std::move(source);
}

SoundEnvironment CurrentSoundEnvironment()
{
    SoundEnvironmentSource source;
    {
        std::lock_guard g(g_lock);
        source = g_source;
    }
    return source ? source() : fromOptions();
}

void SetSoundManager(SoundManager* manager)
{
    std::lock_guard g(g_lock);
    g_manager = manager;
}

SoundManager* GetSoundManager()
{
    std::lock_guard g(g_lock);
    return g_manager;
}

int PlayNamedSound(const QString& name)
{
    const SoundEnvironment env = CurrentSoundEnvironment();
    if (!env.soundEnabled)
        return 1;
    const QString path = env.soundDirectory + name + QStringLiteral(".wav");
    if (!FileExists(path))
        return 0;
    // Without a manager there is no other player to hand the file to.
    SoundManager* manager = GetSoundManager();
    return manager && manager->PlayCached(path, kNamedSoundBuffers) ? 1 : 0;
}

int PlayVariantSound(const QString& name)
{
    const SoundEnvironment env = CurrentSoundEnvironment();
    const int played = PlayNamedSound(name + QLatin1Char('.') + QString::number(env.languageId));
    return played ? played : PlayNamedSound(name);
}

int AnnounceResult(IShot* shot)
{
    if (!shot)
        return 0;
    float result = 0.0f;
    if (FAILED(shot->get_Result(&result)))
        return 0;
    return AnnounceResult(result);
}

int AnnounceResult(float result)
{
    // QString::asprintf formats in the C locale whatever the user's locale is.
    const int played = PlayVariantSound(QString::asprintf("Result %3.1f", static_cast<double>(result)));
    return played ? played : PlayVariantSound(QString::asprintf("Result %i", truncSaturated(result)));
}

} // namespace kavro
