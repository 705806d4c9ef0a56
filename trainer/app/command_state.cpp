#include "command_state.h"

#include "kavro_hints.h"
#include "language_table.h"

// The Language menu in its order; Dutch, in the language table but missing from the menu, goes
// after Deutsch.
const LanguageMenuItem kLanguageMenu[19] = {
    {32809, "English"},
    {32876, "Arabic"},
    {32812, "Chinese (Simplified)"},
    {32893, "Chinese (Traditional)"},
    {32880, "Deutsch"},
    {32881, "Dutch"},
    {32878, "French"},
    {32892, "Hungarian"},
    {32879, "Italian"},
    {32811, "Japanese"},
    {32813, "Korean"},
    {32890, "Norwegian (Bokmal)"},
    {32889, "Polish"},
    {32891, "Portuguese (Brazil)"},
    {32810, "Russian"},
    {32877, "Spanish"},
    {32894, "Thai"},
    {32884, "Turkish"},
    {32885, "Vietnamese"},
};

int languageOfCommand(int command)
{
    const kavro::InterfaceLanguage* l = kavro::findLanguageCommand(uint32_t(command));
    return l ? l->langId : 0;
}

int languageCommandFor(int langId)
{
    const kavro::InterfaceLanguage* l = kavro::findInterfaceLanguage(langId);
    return l ? int(l->command) : 0;
}

const std::vector<int>& frameCommands()
{
    static const std::vector<int> commands = [] {
        std::vector<int> c = {
            Cmd::StartPractice,
            Cmd::Open,
            Cmd::OpenModel,
            Cmd::CloseModel,
            Cmd::Save,
            Cmd::SendToFolder,
            Cmd::Print,
            Cmd::PrintPreview,
            Cmd::PageSetup,
            Cmd::ClosePreview,
            Cmd::PreviousPage,
            Cmd::NextPage,
            Cmd::SendToEmail,
            Cmd::Exit,
            Cmd::HideRestoreShot,
            Cmd::DeleteSightingShots,
            Cmd::DeleteAllShots,
            Cmd::Replay,
            Cmd::ReplayAll,
            Cmd::Prone,
            Cmd::Standing,
            Cmd::Kneeling,
            Cmd::StopPractice,
            Cmd::ResetTraceTarget,
            Cmd::Continue,
            Cmd::SwitchToMatch,
            Cmd::AdjustSensor,
            Cmd::ExpertMode,
            Cmd::ToolBar,
            Cmd::StatusBar,
            Cmd::ShowHidden,
            Cmd::AllTraces,
            Cmd::FullScreen,
            Cmd::ResetHardware,
            Cmd::ShotsParameters,
            Cmd::PrintTarget,
            Cmd::Options,
            Cmd::HelpContents,
            Cmd::About,
            Cmd::Sightings,
            Cmd::ShotList,
            Cmd::Series,
            Cmd::ClosePane,
            Cmd::ViewInfo,
            Cmd::ViewTrace,
            Cmd::ViewDistance,
            Cmd::ViewCoordination,
            Cmd::ViewShift,
            Cmd::ViewSpeed,
            Cmd::ViewIntervals,
            Cmd::ViewProbability,
            Cmd::SoundOff,
            Cmd::PrintShot,
        };
        for (const LanguageMenuItem& l : kLanguageMenu)
            c.push_back(l.command);
        return c;
    }();
    return commands;
}

namespace {

CommandState on(bool enabled, bool checked = false)
{
    return {enabled, checked};
}

CommandState viewCommand(int command, bool rule, const FrameState& s)
{
    return {rule && s.availableViews.count(command) > 0, s.visibleView == command};
}

} // namespace

CommandState commandState(int command, const FrameState& s)
{
    const bool D = s.document, P = s.preview, V = s.device;
    const int M = s.matchShots, S = s.sightingShots, T = M + S;
    if (languageOfCommand(command) != 0)
        return on(true, languageCommandFor(s.languageId) == command);
    switch (command) {
    case Cmd::StartPractice: return on(!V && !P && s.practiceAvailable);
    case Cmd::Open: return on(true);
    // A practice whose shots are all hidden is still saved.
    case Cmd::Save: return on(T > 0 || s.shotsWithHidden > 0);
    case Cmd::SendToFolder: return on(T > 0 && !P);
    case Cmd::OpenModel: return on(D && !P);
    case Cmd::CloseModel: return on(s.validModel && !P);
    case Cmd::Print:
    case Cmd::PrintPreview: return on(M > 0 && s.printingAvailable);
    case Cmd::PageSetup:
    case Cmd::PrintTarget: return on(s.printingAvailable);
    case Cmd::PrintShot: return on(s.shotSelected && s.printingAvailable);
    case Cmd::ClosePreview:
    case Cmd::PreviousPage:
    case Cmd::NextPage: return on(P);
    case Cmd::SendToEmail: return on(T > 0 && !P && s.mailAvailable);
    case Cmd::Exit: return on(true);
    case Cmd::HideRestoreShot: return on(s.shotSelected);
    case Cmd::DeleteSightingShots: return on(S > 0);
    case Cmd::DeleteAllShots: return on(T > 0);
    case Cmd::Replay: return on(s.shotSelected && !P, s.replayState != 0);
    case Cmd::ReplayAll: return on(M > 0 || (S > 0 && s.includeSightings), s.replayAllRunning);
    case Cmd::SwitchToMatch: return on(V && !s.timed && !s.matchStarted && !P);
    case Cmd::AdjustSensor: return on(V && !s.timed && !P);
    case Cmd::Continue: return on(V && s.waitsForContinue);
    case Cmd::Prone:
        return on(V && (s.threePositions || s.biathlon),
                  s.biathlon ? s.subTarget == BiathlonTarget::Prone : s.position == u"prone");
    case Cmd::Standing:
        return on(V && (s.threePositions || s.biathlon),
                  s.biathlon ? s.subTarget == BiathlonTarget::Standing : s.position == u"standing");
    case Cmd::Kneeling: return on(V && s.threePositions && !s.biathlon, s.position == u"kneeling");
    case Cmd::StopPractice: return on(V);
    case Cmd::ResetTraceTarget: return on(V && s.resultShown);
    case Cmd::ExpertMode: return on(true, s.advancedMode);
    case Cmd::Sightings: return on(S > 0, s.includeSightings);
    case Cmd::ShotList: return on(D && s.seriesTableAvailable, s.bothPanes && !s.seriesMode);
    case Cmd::Series: return on(D && !s.biathlon && s.seriesTableAvailable, s.bothPanes && s.seriesMode);
    case Cmd::ClosePane: return on(s.bothPanes);
    case Cmd::ToolBar: return on(true, s.toolBarShown);
    case Cmd::StatusBar: return on(true, s.statusBarShown);
    case Cmd::ShowHidden: return on(D, s.showHidden);
    case Cmd::AllTraces: return on(D && s.seriesTableAvailable, s.allTraces);
    case Cmd::ViewInfo:
    case Cmd::ViewTrace: return viewCommand(command, D && !P, s);
    case Cmd::ViewDistance: return viewCommand(command, T > 0 && !P, s);
    case Cmd::ViewCoordination:
    case Cmd::ViewSpeed: return viewCommand(command, (M > 0 || s.validModel) && !P, s);
    case Cmd::ViewShift: return viewCommand(command, (M > 0 || s.validModel) && !P && !s.biathlon, s);
    case Cmd::ViewIntervals: return viewCommand(command, M > 0 && !P && s.validShotTimes, s);
    case Cmd::ViewProbability: return viewCommand(command, M > 0 && !P && !s.biathlon, s);
    case Cmd::FullScreen: return on(true, s.fullScreen);
    case Cmd::ResetHardware: return on(V);
    case Cmd::ShotsParameters: return on(D && s.shotsParametersAvailable);
    case Cmd::SoundOff: return on(true, !s.soundEnabled);
    case Cmd::Options: return on(s.optionsAvailable);
    case Cmd::HelpContents: return on(s.helpAvailable);
    case Cmd::About: return on(true);
    default: return on(false);
    }
}

bool toolbarButtonVisible(int command, const FrameState& s)
{
    const bool simple = !s.advancedMode;
    switch (command) {
    case Cmd::StartPractice: return !s.device;
    case Cmd::OpenModel: return !simple;
    case Cmd::StopPractice: return s.device;
    case Cmd::Continue: return s.device && s.timed;
    case Cmd::AdjustSensor: return s.device && !s.timed;
    case Cmd::SwitchToMatch: return s.device && !s.matchStarted && !s.timed;
    case Cmd::Series: return !s.biathlon && !simple;
    case Cmd::ShotsParameters: return !simple;
    case Cmd::ViewCoordination:
    case Cmd::ViewSpeed:
    case Cmd::ViewIntervals: return !simple;
    case Cmd::ViewShift:
    case Cmd::ViewProbability: return !simple && !s.biathlon;
    case Cmd::AllTraces:
    case Cmd::Sightings: return !simple;
    default: return true;
    }
}

bool prunedInSimpleMode(int c)
{
    return (c >= 32773 && c <= 32774) || (c >= 32778 && c <= 32780) || (c >= 32791 && c <= 32795)
        || (c >= 0xE800 && c <= 59393) || (c >= 32814 && c <= 32875) || (c >= 32796 && c <= 32815) || c == 32873;
}

uint32_t commandInputs(int command)
{
    using namespace CommandInput;
    if (languageOfCommand(command) != 0)
        return Language;
    if (command >= Cmd::ViewInfo && command <= Cmd::ViewProbability)
        return Document | Preview | Panes;
    switch (command) {
    case Cmd::StartPractice:
    case Cmd::SwitchToMatch:
    case Cmd::AdjustSensor: return Practice | Preview;
    case Cmd::Save:
    case Cmd::Print:
    case Cmd::PrintPreview:
    case Cmd::DeleteSightingShots:
    case Cmd::DeleteAllShots:
    case Cmd::Sightings:
    case Cmd::ShowHidden:
    case Cmd::ShotsParameters: return Document;
    case Cmd::SendToFolder:
    case Cmd::OpenModel:
    case Cmd::CloseModel:
    case Cmd::SendToEmail: return Document | Preview;
    // The caption follows the hidden flag of the selected shot, which the Everything hint announces.
    case Cmd::HideRestoreShot: return Selection | Document;
    case Cmd::PrintShot: return Selection;
    case Cmd::ClosePreview:
    case Cmd::PreviousPage:
    case Cmd::NextPage: return Preview;
    case Cmd::Replay: return Selection | Replay | Preview;
    case Cmd::ReplayAll: return Document | Replay;
    case Cmd::Continue:
    case Cmd::StopPractice:
    case Cmd::ResetTraceTarget:
    case Cmd::ResetHardware: return Practice;
    case Cmd::Prone:
    case Cmd::Standing:
    case Cmd::Kneeling: return Practice | Document;
    case Cmd::ExpertMode:
    case Cmd::SoundOff: return Options;
    case Cmd::ShotList:
    case Cmd::Series:
    case Cmd::AllTraces: return Document | Panes;
    case Cmd::ClosePane:
    case Cmd::FullScreen: return Panes;
    // The tool bar counts as shown while the preview stands in its place.
    case Cmd::ToolBar: return Bars | Preview;
    case Cmd::StatusBar: return Bars;
    default: return None;
    }
}

uint32_t hintInputs(int hint)
{
    using namespace CommandInput;
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::Language: return All;
    case KavroHint::Model:
    case KavroHint::Saved:
    case KavroHint::IncludeSightings:
    case KavroHint::Position: return Document;
    // A new selection ends the replay of the old one.
    case KavroHint::SelectedShot: return Selection | Replay;
    case KavroHint::AimingStarted: return Selection;
    case KavroHint::ShotAdded: return Document | Selection;
    case KavroHint::ReplayStarts:
    case KavroHint::ReplayStopped:
    case KavroHint::ReplayPaused: return Replay;
    case KavroHint::PracticeStarted:
    case KavroHint::MatchStarted:
    case KavroHint::PracticeStopped:
    case KavroHint::BiathlonSubTarget: return Practice;
    case KavroHint::AdvancedMode: return Options | Panes;
    default: return None;
    }
}
