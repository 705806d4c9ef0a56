#pragma once
// Sounds played by name: wave files in the program's sound folder, first in the variant for the
// interface language, then plain.
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

struct IShot;

namespace kavro {

class SoundManager;

// What the sound routines need of the user's options and the interface language, read afresh on
// every play so a toggle or a language switch holds at once.
struct SoundEnvironment {
    bool soundEnabled = true;
    bool blindGen = false;
    std::array<int32_t, 11> blindGenFrequencies{0, 200, 400, 600, 800, 1000, 1200, 1400, 1600, 1800, 2000};
    int languageId = 1033;
    QString soundDirectory; // with its trailing "/"
};

using SoundEnvironmentSource = std::function<SoundEnvironment()>;

// The folder of the named sounds for a program folder given with its trailing "/".
QString SoundDirectoryFor(const QString& programDirectory);

// By default: the program's options record, its interface language and the sound folder beside
// the program. Another source replaces them (tests).
void SetSoundEnvironmentSource(SoundEnvironmentSource source);
SoundEnvironment CurrentSoundEnvironment();

// The manager that named sounds play through; null plays nothing.
void SetSoundManager(SoundManager* manager);
SoundManager* GetSoundManager();

// 1 at once while sound is off; 0 when the file does not exist or cannot be played; otherwise
// 1 when playing started.
int PlayNamedSound(const QString& name);
// The variant "<name>.<LANGID>" first, then the plain name.
int PlayVariantSound(const QString& name);
// Speaks the shot's result with one decimal ("Result 10.4"), else as a whole number ("Result 10").
int AnnounceResult(IShot* shot);
int AnnounceResult(float result);

} // namespace kavro
