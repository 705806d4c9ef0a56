#include "menu_layout.h"

#include "command_ids.h"
#include "command_state.h"

const std::vector<MenuLayout>& fullMainMenu()
{
    static const std::vector<MenuLayout> menu = {
        {1,
         {Cmd::StartPractice, Cmd::Open, Cmd::OpenModel, Cmd::CloseModel, 0, Cmd::Save, Cmd::SendToFolder,
          Cmd::SendToEmail, 0, Cmd::Print, Cmd::PrintPreview, Cmd::PageSetup, Cmd::PrintTarget, 0, Cmd::Exit}},
        {2,
         {Cmd::HideRestoreShot, Cmd::DeleteSightingShots, Cmd::DeleteAllShots, 0, Cmd::Sightings, Cmd::ShowHidden,
          Cmd::AllTraces, 0, Cmd::Replay, Cmd::ReplayAll, 0, Cmd::ShotsParameters}},
        {3,
         {Cmd::StopPractice, Cmd::SwitchToMatch, Cmd::Continue, Cmd::ResetTraceTarget, 0, Cmd::Prone, Cmd::Standing,
          Cmd::Kneeling, 0, Cmd::AdjustSensor, Cmd::ResetHardware}},
        {4,
         {Cmd::ToolBar, Cmd::StatusBar, 0, Cmd::ShotList, Cmd::Series, Cmd::ClosePane, 0, Cmd::ViewInfo, Cmd::ViewTrace,
          Cmd::ViewDistance, Cmd::ViewCoordination, Cmd::ViewShift, Cmd::ViewSpeed, Cmd::ViewIntervals,
          Cmd::ViewProbability, 0, Cmd::ExpertMode, Cmd::FullScreen, Cmd::SoundOff}},
        {5, {Cmd::Options, Cmd::LanguagePlaceholder}},
        {6, {Cmd::HelpContents, 0, Cmd::About}},
    };
    return menu;
}

const std::vector<int>& shotContextMenu()
{
    static const std::vector<int> items = {Cmd::Replay, Cmd::HideRestoreShot, Cmd::PrintShot};
    return items;
}

std::vector<int> prunedForSimpleMode(const std::vector<int>& items)
{
    std::vector<int> out;
    for (int id : items) {
        if (id != 0 && prunedInSimpleMode(id))
            continue;
        if (id == 0 && (out.empty() || out.back() == 0))
            continue;
        out.push_back(id);
    }
    if (!out.empty() && out.back() == 0)
        out.pop_back();
    return out;
}
