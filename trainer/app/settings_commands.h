#pragma once
// The commands that change settings and pass them on to whatever holds them: the options dialog,
// the shots parameters of the practice, expert mode and sound.
#include <cstdint>

class CKavroDoc;
class DeviceOptions;
class FrameCommands;
class FramePanes;
class FrameSounds;
class FrameWindow;
class QMenuBar;

class SettingsCommands {
public:
    struct Parts {
        FrameWindow& window;
        QMenuBar* menuBar; // rebuilt when expert mode is switched
        CKavroDoc& doc;
        FrameCommands& commands;
        FramePanes& panes;
        DeviceOptions& deviceOptions;
        FrameSounds& sounds;
    };
    explicit SettingsCommands(Parts parts) : p_(parts) { }

    void OnOptions();
    // Acts on what the options dialog changed (its change mask) and stores the options.
    void ApplyOptionsChange(uint32_t mask);
    void OnShotsParameters();
    void ToggleAdvancedMode();
    void ToggleSound();

private:
    Parts p_;
};
