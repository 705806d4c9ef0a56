#include "command_state.h"
#include "menu_layout.h"

#include <gtest/gtest.h>

namespace {

FrameState noDocument()
{
    FrameState s;
    s.availableViews = {Cmd::ViewInfo,  Cmd::ViewTrace, Cmd::ViewDistance,  Cmd::ViewCoordination,
                        Cmd::ViewShift, Cmd::ViewSpeed, Cmd::ViewIntervals, Cmd::ViewProbability};
    s.seriesTableAvailable = true;
    s.practiceAvailable = true;
    s.printingAvailable = true;
    s.optionsAvailable = true;
    s.shotsParametersAvailable = true;
    s.mailAvailable = true;
    return s;
}

FrameState withDocument()
{
    FrameState s = noDocument();
    s.document = true;
    s.matchShots = 10;
    s.sightingShots = 3;
    s.shotSelected = true;
    s.validShotTimes = true;
    s.position = QStringLiteral("standing");
    return s;
}

FrameState practising()
{
    FrameState s = withDocument();
    s.device = true;
    s.threePositions = true;
    return s;
}

FrameState inPreview()
{
    FrameState s = withDocument();
    s.preview = true;
    return s;
}

bool enabled(int c, const FrameState& s)
{
    return commandState(c, s).enabled;
}

TEST(CommandState, WithoutADocument)
{
    const FrameState s = noDocument();
    for (int c : {Cmd::StartPractice, Cmd::Open, Cmd::Exit, Cmd::ExpertMode, Cmd::ToolBar, Cmd::StatusBar,
                  Cmd::FullScreen, Cmd::SoundOff, Cmd::Options, Cmd::About, 32809})
        EXPECT_TRUE(enabled(c, s)) << c;
    for (int c : {Cmd::Save,
                  Cmd::SendToFolder,
                  Cmd::OpenModel,
                  Cmd::CloseModel,
                  Cmd::Print,
                  Cmd::PrintPreview,
                  Cmd::SendToEmail,
                  Cmd::HideRestoreShot,
                  Cmd::DeleteSightingShots,
                  Cmd::DeleteAllShots,
                  Cmd::Replay,
                  Cmd::ReplayAll,
                  Cmd::SwitchToMatch,
                  Cmd::AdjustSensor,
                  Cmd::StopPractice,
                  Cmd::ResetHardware,
                  Cmd::ShotsParameters,
                  Cmd::Sightings,
                  Cmd::ShotList,
                  Cmd::Series,
                  Cmd::ShowHidden,
                  Cmd::ViewInfo,
                  Cmd::ViewTrace,
                  Cmd::ViewDistance,
                  Cmd::ViewProbability,
                  Cmd::ClosePreview,
                  Cmd::Prone})
        EXPECT_FALSE(enabled(c, s)) << c;
    EXPECT_TRUE(commandState(Cmd::ExpertMode, s).checked);
    EXPECT_TRUE(commandState(32809, s).checked); // English
    EXPECT_FALSE(commandState(Cmd::SoundOff, s).checked);
}

TEST(CommandState, WithADocument)
{
    FrameState s = withDocument();
    for (int c : {Cmd::StartPractice,
                  Cmd::Save,
                  Cmd::SendToFolder,
                  Cmd::OpenModel,
                  Cmd::Print,
                  Cmd::PrintPreview,
                  Cmd::SendToEmail,
                  Cmd::HideRestoreShot,
                  Cmd::DeleteSightingShots,
                  Cmd::DeleteAllShots,
                  Cmd::Replay,
                  Cmd::ReplayAll,
                  Cmd::Sightings,
                  Cmd::ShotList,
                  Cmd::Series,
                  Cmd::ShowHidden,
                  Cmd::ShotsParameters,
                  Cmd::ViewInfo,
                  Cmd::ViewTrace,
                  Cmd::ViewDistance,
                  Cmd::ViewCoordination,
                  Cmd::ViewShift,
                  Cmd::ViewSpeed,
                  Cmd::ViewIntervals,
                  Cmd::ViewProbability})
        EXPECT_TRUE(enabled(c, s)) << c;
    for (int c : {Cmd::CloseModel, Cmd::StopPractice, Cmd::SwitchToMatch, Cmd::AdjustSensor, Cmd::Continue, Cmd::Prone,
                  Cmd::Kneeling, Cmd::ResetTraceTarget, Cmd::ResetHardware, Cmd::ClosePreview})
        EXPECT_FALSE(enabled(c, s)) << c;

    s.visibleView = Cmd::ViewTrace;
    s.replayState = DocumentReplay::ReplayPlaying;
    s.includeSightings = true;
    EXPECT_TRUE(commandState(Cmd::ViewTrace, s).checked);
    EXPECT_FALSE(commandState(Cmd::ViewInfo, s).checked);
    EXPECT_TRUE(commandState(Cmd::Replay, s).checked);
    EXPECT_TRUE(commandState(Cmd::Sightings, s).checked);

    // Biathlon has no shift, probability or series; times that go backwards no intervals.
    s.biathlon = true;
    s.validShotTimes = false;
    for (int c : {Cmd::ViewShift, Cmd::ViewProbability, Cmd::Series, Cmd::ViewIntervals})
        EXPECT_FALSE(enabled(c, s)) << c;
    EXPECT_TRUE(enabled(Cmd::ViewCoordination, s));
}

TEST(CommandState, SightingShotsAloneReplayOnlyWhenShown)
{
    FrameState s = withDocument();
    s.matchShots = 0;
    EXPECT_FALSE(enabled(Cmd::ReplayAll, s));
    s.includeSightings = true;
    EXPECT_TRUE(enabled(Cmd::ReplayAll, s));
    EXPECT_FALSE(enabled(Cmd::ViewCoordination, s));
    s.validModel = true; // a model is enough for the comparison views
    EXPECT_TRUE(enabled(Cmd::ViewCoordination, s));
    EXPECT_FALSE(enabled(Cmd::ViewIntervals, s));
}

TEST(CommandState, WhilePractising)
{
    FrameState s = practising();
    for (int c : {Cmd::StopPractice, Cmd::SwitchToMatch, Cmd::AdjustSensor, Cmd::ResetHardware, Cmd::Prone,
                  Cmd::Standing, Cmd::Kneeling})
        EXPECT_TRUE(enabled(c, s)) << c;
    EXPECT_FALSE(enabled(Cmd::StartPractice, s));
    EXPECT_FALSE(enabled(Cmd::ResetTraceTarget, s));
    EXPECT_FALSE(enabled(Cmd::Continue, s));
    EXPECT_TRUE(commandState(Cmd::Standing, s).checked);
    EXPECT_FALSE(commandState(Cmd::Prone, s).checked);

    s.resultShown = true;
    s.waitsForContinue = true;
    EXPECT_TRUE(enabled(Cmd::ResetTraceTarget, s));
    EXPECT_TRUE(enabled(Cmd::Continue, s));

    s.matchStarted = true;
    EXPECT_FALSE(enabled(Cmd::SwitchToMatch, s));
    s.timed = true;
    EXPECT_FALSE(enabled(Cmd::AdjustSensor, s));

    // Biathlon: prone and standing follow the sub-target, kneeling does not exist.
    s.biathlon = true;
    s.subTarget = 2;
    EXPECT_TRUE(commandState(Cmd::Prone, s).checked);
    EXPECT_FALSE(commandState(Cmd::Standing, s).checked);
    EXPECT_FALSE(enabled(Cmd::Kneeling, s));
}

TEST(CommandState, InPrintPreview)
{
    const FrameState s = inPreview();
    for (int c : {Cmd::ClosePreview, Cmd::NextPage, Cmd::PreviousPage, Cmd::Print, Cmd::Save})
        EXPECT_TRUE(enabled(c, s)) << c;
    for (int c : {Cmd::StartPractice, Cmd::SendToFolder, Cmd::OpenModel, Cmd::SendToEmail, Cmd::Replay, Cmd::ViewInfo,
                  Cmd::ViewTrace, Cmd::ViewDistance, Cmd::ViewCoordination, Cmd::ViewIntervals})
        EXPECT_FALSE(enabled(c, s)) << c;
}

TEST(CommandState, PartsNotBuiltKeepTheirCommandsDisabled)
{
    FrameState s = withDocument();
    s.availableViews = {Cmd::ViewInfo};
    s.seriesTableAvailable = false;
    s.printingAvailable = false;
    s.mailAvailable = false;
    EXPECT_TRUE(enabled(Cmd::ViewInfo, s));
    for (int c : {Cmd::ViewTrace, Cmd::ViewDistance, Cmd::ShotList, Cmd::Series, Cmd::Print, Cmd::PrintPreview,
                  Cmd::SendToEmail})
        EXPECT_FALSE(enabled(c, s)) << c;
}

TEST(CommandState, LanguageRadioMarkFollowsPrimaryLanguage)
{
    FrameState s = noDocument();
    s.languageId = 2057; // English (United Kingdom)
    EXPECT_TRUE(commandState(32809, s).checked);
    s.languageId = 1043; // Dutch
    EXPECT_TRUE(commandState(32881, s).checked);
    s.languageId = 1028; // Chinese (Traditional)
    EXPECT_TRUE(commandState(32893, s).checked);
    EXPECT_FALSE(commandState(32812, s).checked);
}

// Each part of the frame's state with the input that announces its changes. A command whose
// state moves when a part changes must name that part's input, or the frame would leave it stale.
TEST(CommandState, EveryCommandNamesTheInputsItsRuleReads)
{
    using namespace CommandInput;
    struct Change {
        const char* part;
        uint32_t input;
        void (*apply)(FrameState&);
    };
    const Change changes[] = {
        {"document", Document, [](FrameState& s) { s.document = !s.document; }},
        {"matchShots", Document, [](FrameState& s) { s.matchShots = s.matchShots ? 0 : 4; }},
        {"sightingShots", Document, [](FrameState& s) { s.sightingShots = s.sightingShots ? 0 : 2; }},
        {"shotsWithHidden", Document, [](FrameState& s) { s.shotsWithHidden = s.shotsWithHidden ? 0 : 1; }},
        {"threePositions", Document, [](FrameState& s) { s.threePositions = !s.threePositions; }},
        {"biathlon", Document, [](FrameState& s) { s.biathlon = !s.biathlon; }},
        {"position", Document,
         [](FrameState& s) { s.position = QString::fromUtf16(s.position == u"prone" ? u"kneeling" : u"prone"); }},
        {"includeSightings", Document, [](FrameState& s) { s.includeSightings = !s.includeSightings; }},
        {"showHidden", Document, [](FrameState& s) { s.showHidden = !s.showHidden; }},
        {"validModel", Document, [](FrameState& s) { s.validModel = !s.validModel; }},
        {"validShotTimes", Document, [](FrameState& s) { s.validShotTimes = !s.validShotTimes; }},
        {"shotSelected", Selection, [](FrameState& s) { s.shotSelected = !s.shotSelected; }},
        {"replayState", Replay,
         [](FrameState& s) {
             s.replayState = s.replayState ? DocumentReplay::ReplayStopped : DocumentReplay::ReplayPlaying;
         }},
        {"replayAllRunning", Replay, [](FrameState& s) { s.replayAllRunning = !s.replayAllRunning; }},
        {"device", Practice, [](FrameState& s) { s.device = !s.device; }},
        {"timed", Practice, [](FrameState& s) { s.timed = !s.timed; }},
        {"matchStarted", Practice, [](FrameState& s) { s.matchStarted = !s.matchStarted; }},
        {"waitsForContinue", Practice, [](FrameState& s) { s.waitsForContinue = !s.waitsForContinue; }},
        {"subTarget", Practice,
         [](FrameState& s) {
             s.subTarget = s.subTarget == BiathlonTarget::Prone ? BiathlonTarget::Standing : BiathlonTarget::Prone;
         }},
        {"resultShown", Practice, [](FrameState& s) { s.resultShown = !s.resultShown; }},
        {"preview", Preview, [](FrameState& s) { s.preview = !s.preview; }},
        {"bothPanes", Panes, [](FrameState& s) { s.bothPanes = !s.bothPanes; }},
        {"seriesMode", Panes, [](FrameState& s) { s.seriesMode = !s.seriesMode; }},
        {"visibleView", Panes,
         [](FrameState& s) { s.visibleView = s.visibleView == Cmd::ViewTrace ? Cmd::ViewSpeed : Cmd::ViewTrace; }},
        {"allTraces", Panes, [](FrameState& s) { s.allTraces = !s.allTraces; }},
        {"fullScreen", Panes, [](FrameState& s) { s.fullScreen = !s.fullScreen; }},
        {"toolBarShown", Bars, [](FrameState& s) { s.toolBarShown = !s.toolBarShown; }},
        {"statusBarShown", Bars, [](FrameState& s) { s.statusBarShown = !s.statusBarShown; }},
        {"advancedMode", Options, [](FrameState& s) { s.advancedMode = !s.advancedMode; }},
        {"soundEnabled", Options, [](FrameState& s) { s.soundEnabled = !s.soundEnabled; }},
        {"languageId", Language, [](FrameState& s) { s.languageId = s.languageId == 1033 ? 1049 : 1033; }},
    };
    const FrameState bases[] = {noDocument(), withDocument(), practising(), inPreview()};
    for (const FrameState& base : bases)
        for (const Change& first : changes)
            for (const Change& second : changes) {
                // Pairs of changes reach the states where a rule's other conditions hold.
                FrameState before = base;
                first.apply(before);
                FrameState after = before;
                second.apply(after);
                for (int c : frameCommands()) {
                    if (commandState(c, before) == commandState(c, after))
                        continue;
                    EXPECT_NE(commandInputs(c) & second.input, 0u)
                        << "command " << c << " reads " << second.part << " without naming its input";
                }
            }
}

TEST(CommandState, ToolbarButtonsInSimpleModeAndDuringAPractice)
{
    FrameState s = practising();
    EXPECT_FALSE(toolbarButtonVisible(Cmd::StartPractice, s));
    EXPECT_TRUE(toolbarButtonVisible(Cmd::StopPractice, s));
    EXPECT_FALSE(toolbarButtonVisible(Cmd::Continue, s));
    s.advancedMode = false;
    for (int c : {Cmd::OpenModel, Cmd::Series, Cmd::ShotsParameters, Cmd::ViewCoordination, Cmd::ViewShift,
                  Cmd::ViewSpeed, Cmd::ViewIntervals, Cmd::ViewProbability, Cmd::AllTraces, Cmd::Sightings})
        EXPECT_FALSE(toolbarButtonVisible(c, s)) << c;
    for (int c : {Cmd::ViewInfo, Cmd::ViewTrace, Cmd::ViewDistance})
        EXPECT_TRUE(toolbarButtonVisible(c, s)) << c;
}

TEST(MenuLayout, SimpleModeLeavesNoStraySeparators)
{
    for (const MenuLayout& m : fullMainMenu()) {
        const std::vector<int> items = prunedForSimpleMode(m.items);
        if (items.empty())
            continue;
        EXPECT_NE(items.front(), 0);
        EXPECT_NE(items.back(), 0);
        for (size_t i = 1; i < items.size(); ++i)
            EXPECT_FALSE(items[i] == 0 && items[i - 1] == 0);
        for (int id : items)
            EXPECT_FALSE(id != 0 && prunedInSimpleMode(id)) << id;
    }
    const std::vector<int> shots = prunedForSimpleMode(fullMainMenu()[1].items);
    EXPECT_EQ(shots, (std::vector<int>{Cmd::HideRestoreShot, Cmd::DeleteSightingShots}));
}

} // namespace
