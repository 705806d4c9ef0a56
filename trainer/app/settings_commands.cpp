#include "settings_commands.h"

#include "app_options.h"
#include "device_options.h"
#include "frame_commands.h"
#include "frame_panes.h"
#include "frame_sounds.h"
#include "frame_window.h"
#include "kavro_doc.h"
#include "options_dialog.h"
#include "shots_parameters_dialog.h"

#include <QMenuBar>

void SettingsCommands::ToggleAdvancedMode()
{
    CKavroDoc& doc = p_.doc;
    kavro::AppOptions& options = kavro::theAppOptions();
    options.AdvancedMode = !options.AdvancedMode;
    kavro::SaveOptions();
    p_.commands.buildMenus(p_.menuBar);
    p_.window.UpdateToolbarButtons();
    if (!options.AdvancedMode) {
        p_.panes.setBothPanes(false);
        doc.SetIncludeSightings(doc.SightingShotCount() > 0);
        if (p_.panes.visibleView() != Cmd::ViewTrace && p_.panes.visibleView() != Cmd::ViewDistance)
            p_.panes.ShowView(Cmd::ViewInfo);
    }
    doc.UpdateAllViews(nullptr, KavroHint::AdvancedMode);
}

void SettingsCommands::OnOptions()
{
    const std::optional<uint32_t> mask
        = kavro::trainer::runOptionsDialog(p_.window.GetWindow(), kavro::theAppOptions());
    if (mask)
        ApplyOptionsChange(*mask);
}

void SettingsCommands::ApplyOptionsChange(uint32_t mask)
{
    p_.deviceOptions.ApplyOptionsChange(mask);
    p_.panes.reloadViewSettings(mask);
    if (mask & (kavro::kChangeTraceColors | kavro::kChangeTraceDisplay | kavro::kChangeReplaySpeed))
        p_.doc.UpdateAllViews(nullptr, KavroHint::ShotParameters);
    p_.sounds.ApplyOptionsChange(mask);
    p_.deviceOptions.ShowPiezoRejectInterval();
    kavro::SaveOptions();
    p_.commands.inputsChanged(CommandInput::Options);
}

void SettingsCommands::OnShotsParameters()
{
    CKavroDoc& doc = p_.doc;
    kavro::trainer::ShotsParameters values;
    values.fCoefficient = doc.fCoefficient();
    values.controlInterval = doc.traceSeconds();
    values.controlInterval2 = doc.controlInterval2();
    values.shotMoment = doc.shotTimeOffset();
    values.dispersion = doc.dispersion();
    values.coincideGrouping = doc.centreGroups() ? 1 : 0;
    if (!kavro::trainer::runShotsParametersDialog(p_.window.GetWindow(), doc.GetTargetKind(), &values))
        return;
    doc.SetShotsParameters(values.fCoefficient, values.controlInterval, values.controlInterval2, values.shotMoment,
                           values.dispersion, values.coincideGrouping != 0);
}

void SettingsCommands::ToggleSound()
{
    p_.sounds.ToggleSound();
    p_.commands.inputsChanged(CommandInput::Options);
}
