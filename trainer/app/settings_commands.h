#pragma once
// The commands that change settings and pass them on to whatever holds them: the options dialog,
// the shots parameters of the practice, expert mode and sound.
#include <cstdint>

class CMainFrame;

class SettingsCommands {
public:
    explicit SettingsCommands(CMainFrame& frame) : frame_(frame) { }

    void OnOptions();
    // Acts on what the options dialog changed (its change mask) and stores the options.
    void ApplyOptionsChange(uint32_t mask);
    void OnShotsParameters();
    void ToggleAdvancedMode();
    void ToggleSound();

private:
    CMainFrame& frame_;
};
