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

namespace {

CommandState on(bool enabled, bool checked = false)
{
    return {enabled, checked};
}

CommandState viewCommand(int command, bool rule, const FrameState& s)
{
    return {rule && s.availableViews.count(command) > 0, s.visibleView == command};
}

int allShots(const FrameState& s)
{
    return s.matchShots + s.sightingShots;
}

// A command's rule beside the parts of the frame's state the rule reads, so the two cannot drift
// apart: the frame works a command out again only when one of its inputs changes.
struct CommandRow {
    int command;
    uint32_t inputs;
    CommandState (*rule)(int command, const FrameState& s);
};

using namespace CommandInput;

// In the order the frame builds its actions.
const CommandRow kCommandRows[] = {
    {Cmd::StartPractice, Practice | Preview,
     [](int, const FrameState& s) { return on(!s.device && !s.preview && s.practiceAvailable); }},
    {Cmd::Open, None, [](int, const FrameState&) { return on(true); }},
    {Cmd::OpenModel, Document | Preview, [](int, const FrameState& s) { return on(s.document && !s.preview); }},
    {Cmd::CloseModel, Document | Preview, [](int, const FrameState& s) { return on(s.validModel && !s.preview); }},
    // A practice whose shots are all hidden is still saved.
    {Cmd::Save, Document, [](int, const FrameState& s) { return on(allShots(s) > 0 || s.shotsWithHidden > 0); }},
    {Cmd::SendToFolder, Document | Preview, [](int, const FrameState& s) { return on(allShots(s) > 0 && !s.preview); }},
    {Cmd::Print, Document, [](int, const FrameState& s) { return on(s.matchShots > 0 && s.printingAvailable); }},
    {Cmd::PrintPreview, Document, [](int, const FrameState& s) { return on(s.matchShots > 0 && s.printingAvailable); }},
    {Cmd::PageSetup, None, [](int, const FrameState& s) { return on(s.printingAvailable); }},
    {Cmd::ClosePreview, Preview, [](int, const FrameState& s) { return on(s.preview); }},
    {Cmd::PreviousPage, Preview, [](int, const FrameState& s) { return on(s.preview); }},
    {Cmd::NextPage, Preview, [](int, const FrameState& s) { return on(s.preview); }},
    {Cmd::SendToEmail, Document | Preview,
     [](int, const FrameState& s) { return on(allShots(s) > 0 && !s.preview && s.mailAvailable); }},
    {Cmd::Exit, None, [](int, const FrameState&) { return on(true); }},
    // The caption follows the hidden flag of the selected shot, which the selection's hint announces.
    {Cmd::HideRestoreShot, Selection | Document, [](int, const FrameState& s) { return on(s.shotSelected); }},
    {Cmd::DeleteSightingShots, Document, [](int, const FrameState& s) { return on(s.sightingShots > 0); }},
    {Cmd::DeleteAllShots, Document, [](int, const FrameState& s) { return on(allShots(s) > 0); }},
    {Cmd::Replay, Selection | Replay | Preview,
     [](int, const FrameState& s) {
         return on(s.shotSelected && !s.preview, s.replayState != DocumentReplay::ReplayStopped);
     }},
    {Cmd::ReplayAll, Document | Replay,
     [](int, const FrameState& s) {
         return on(s.matchShots > 0 || (s.sightingShots > 0 && s.includeSightings), s.replayAllRunning);
     }},
    {Cmd::Prone, Practice | Document,
     [](int, const FrameState& s) {
         return on(s.device && (s.threePositions || s.biathlon),
                   s.biathlon ? s.subTarget == BiathlonTarget::Prone : s.position == u"prone");
     }},
    {Cmd::Standing, Practice | Document,
     [](int, const FrameState& s) {
         return on(s.device && (s.threePositions || s.biathlon),
                   s.biathlon ? s.subTarget == BiathlonTarget::Standing : s.position == u"standing");
     }},
    {Cmd::Kneeling, Practice | Document,
     [](int, const FrameState& s) {
         return on(s.device && s.threePositions && !s.biathlon, s.position == u"kneeling");
     }},
    {Cmd::StopPractice, Practice, [](int, const FrameState& s) { return on(s.device); }},
    {Cmd::ResetTraceTarget, Practice, [](int, const FrameState& s) { return on(s.device && s.resultShown); }},
    {Cmd::Continue, Practice, [](int, const FrameState& s) { return on(s.device && s.waitsForContinue); }},
    {Cmd::SwitchToMatch, Practice | Preview,
     [](int, const FrameState& s) { return on(s.device && !s.timed && !s.matchStarted && !s.preview); }},
    {Cmd::AdjustSensor, Practice | Preview,
     [](int, const FrameState& s) { return on(s.device && !s.timed && !s.preview); }},
    {Cmd::ExpertMode, Options, [](int, const FrameState& s) { return on(true, s.advancedMode); }},
    // The tool bar counts as shown while the preview stands in its place.
    {Cmd::ToolBar, Bars | Preview, [](int, const FrameState& s) { return on(true, s.toolBarShown); }},
    {Cmd::StatusBar, Bars, [](int, const FrameState& s) { return on(true, s.statusBarShown); }},
    {Cmd::ShowHidden, Document, [](int, const FrameState& s) { return on(s.document, s.showHidden); }},
    {Cmd::AllTraces, Document | Panes,
     [](int, const FrameState& s) { return on(s.document && s.seriesTableAvailable, s.allTraces); }},
    {Cmd::FullScreen, Panes, [](int, const FrameState& s) { return on(true, s.fullScreen); }},
    {Cmd::ResetHardware, Practice, [](int, const FrameState& s) { return on(s.device); }},
    {Cmd::ShotsParameters, Document,
     [](int, const FrameState& s) { return on(s.document && s.shotsParametersAvailable); }},
    {Cmd::PrintTarget, None, [](int, const FrameState& s) { return on(s.printingAvailable); }},
    {Cmd::Options, None, [](int, const FrameState& s) { return on(s.optionsAvailable); }},
    {Cmd::HelpContents, None, [](int, const FrameState& s) { return on(s.helpAvailable); }},
    {Cmd::About, None, [](int, const FrameState&) { return on(true); }},
    {Cmd::Sightings, Document, [](int, const FrameState& s) { return on(s.sightingShots > 0, s.includeSightings); }},
    {Cmd::ShotList, Document | Panes,
     [](int, const FrameState& s) { return on(s.document && s.seriesTableAvailable, s.bothPanes && !s.seriesMode); }},
    {Cmd::Series, Document | Panes,
     [](int, const FrameState& s) {
         return on(s.document && !s.biathlon && s.seriesTableAvailable, s.bothPanes && s.seriesMode);
     }},
    {Cmd::ClosePane, Panes, [](int, const FrameState& s) { return on(s.bothPanes); }},
    {Cmd::ViewInfo, Document | Preview | Panes,
     [](int c, const FrameState& s) { return viewCommand(c, s.document && !s.preview, s); }},
    {Cmd::ViewTrace, Document | Preview | Panes,
     [](int c, const FrameState& s) { return viewCommand(c, s.document && !s.preview, s); }},
    {Cmd::ViewDistance, Document | Preview | Panes,
     [](int c, const FrameState& s) { return viewCommand(c, allShots(s) > 0 && !s.preview, s); }},
    {Cmd::ViewCoordination, Document | Preview | Panes,
     [](int c, const FrameState& s) { return viewCommand(c, (s.matchShots > 0 || s.validModel) && !s.preview, s); }},
    {Cmd::ViewShift, Document | Preview | Panes,
     [](int c, const FrameState& s) {
         return viewCommand(c, (s.matchShots > 0 || s.validModel) && !s.preview && !s.biathlon, s);
     }},
    {Cmd::ViewSpeed, Document | Preview | Panes,
     [](int c, const FrameState& s) { return viewCommand(c, (s.matchShots > 0 || s.validModel) && !s.preview, s); }},
    {Cmd::ViewIntervals, Document | Preview | Panes,
     [](int c, const FrameState& s) { return viewCommand(c, s.matchShots > 0 && !s.preview && s.validShotTimes, s); }},
    {Cmd::ViewProbability, Document | Preview | Panes,
     [](int c, const FrameState& s) { return viewCommand(c, s.matchShots > 0 && !s.preview && !s.biathlon, s); }},
    {Cmd::SoundOff, Options, [](int, const FrameState& s) { return on(true, !s.soundEnabled); }},
    {Cmd::PrintShot, Selection, [](int, const FrameState& s) { return on(s.shotSelected && s.printingAvailable); }},
};

// Every language command shares one rule: its radio mark follows the interface language.
const CommandRow kLanguageRow = {0, Language, [](int command, const FrameState& s) {
                                     return on(true, languageCommandFor(s.languageId) == command);
                                 }};

const CommandRow* rowOf(int command)
{
    if (languageOfCommand(command) != 0)
        return &kLanguageRow;
    for (const CommandRow& row : kCommandRows)
        if (row.command == command)
            return &row;
    return nullptr;
}

struct CommandRange {
    int first, last;
};

// The commands simple mode leaves out, as ranges of menu ids. Some ranges overlap, and some take in
// ids of other menus (the preview's page commands, some language commands): those go as well.
const CommandRange kPrunedInSimpleMode[] = {
    {Cmd::OpenModel, Cmd::CloseModel},
    {Cmd::DeleteAllShots, Cmd::ReplayAll},
    {Cmd::ViewCoordination, Cmd::ViewProbability},
    {Cmd::ToolBar, Cmd::StatusBar},
    {Cmd::Series, Cmd::AllTraces},
    {Cmd::ShowHidden, Cmd::Sightings},
    {Cmd::ShotsParameters, Cmd::ShotsParameters},
};

} // namespace

const std::vector<int>& frameCommands()
{
    static const std::vector<int> commands = [] {
        std::vector<int> c;
        for (const CommandRow& row : kCommandRows)
            c.push_back(row.command);
        for (const LanguageMenuItem& l : kLanguageMenu)
            c.push_back(l.command);
        return c;
    }();
    return commands;
}

CommandState commandState(int command, const FrameState& s)
{
    const CommandRow* row = rowOf(command);
    return row ? row->rule(command, s) : on(false);
}

uint32_t commandInputs(int command)
{
    const CommandRow* row = rowOf(command);
    return row ? row->inputs : None;
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
    for (const CommandRange& r : kPrunedInSimpleMode)
        if (c >= r.first && c <= r.last)
            return true;
    return false;
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
