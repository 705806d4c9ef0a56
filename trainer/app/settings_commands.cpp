#include "settings_commands.h"

#include "app_options.h"
#include "main_frame.h"
#include "options_dialog.h"
#include "shots_parameters_dialog.h"

#include <QMenuBar>

void SettingsCommands::ToggleAdvancedMode()
{
    CKavroDoc& doc = frame_.doc();
    kavro::AppOptions& options = kavro::theAppOptions();
    options.AdvancedMode = !options.AdvancedMode;
    kavro::SaveOptions();
    frame_.commands().buildMenus(frame_.menuBar());
    frame_.UpdateToolbarButtons();
    if (!options.AdvancedMode) {
        frame_.panes().setBothPanes(false);
        doc.SetIncludeSightings(doc.SightingShotCount() > 0);
        if (frame_.visibleViewCommand() != Cmd::ViewTrace && frame_.visibleViewCommand() != Cmd::ViewDistance)
            frame_.ShowView(Cmd::ViewInfo);
    }
    doc.UpdateAllViews(nullptr, KavroHint::AdvancedMode);
}

void SettingsCommands::OnOptions()
{
    const std::optional<uint32_t> mask = kavro::trainer::runOptionsDialog(&frame_, kavro::theAppOptions());
    if (mask)
        ApplyOptionsChange(*mask);
}

void SettingsCommands::ApplyOptionsChange(uint32_t mask)
{
    frame_.practice().ApplyOptionsChange(mask);
    frame_.panes().reloadViewSettings(mask);
    if (mask & (kavro::kChangeTraceColors | kavro::kChangeTraceDisplay | kavro::kChangeReplaySpeed))
        frame_.doc().UpdateAllViews(nullptr, KavroHint::ShotParameters);
    frame_.sounds().ApplyOptionsChange(mask);
    frame_.ShowPiezoRejectInterval();
    kavro::SaveOptions();
    frame_.commands().inputsChanged(CommandInput::Options);
}

void SettingsCommands::OnShotsParameters()
{
    CKavroDoc& doc = frame_.doc();
    kavro::trainer::ShotsParameters values;
    values.fCoefficient = doc.fCoefficient();
    values.controlInterval = doc.traceSeconds();
    values.controlInterval2 = doc.controlInterval2();
    values.shotMoment = doc.shotTimeOffset();
    values.dispersion = doc.dispersion();
    values.coincideGrouping = doc.centreGroups() ? 1 : 0;
    if (!kavro::trainer::runShotsParametersDialog(&frame_, doc.GetTargetKind(), &values))
        return;
    doc.SetShotsParameters(values.fCoefficient, values.controlInterval, values.controlInterval2, values.shotMoment,
                           values.dispersion, values.coincideGrouping != 0);
}

void SettingsCommands::ToggleSound()
{
    frame_.sounds().ToggleSound();
    frame_.commands().inputsChanged(CommandInput::Options);
}
