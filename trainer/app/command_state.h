#pragma once
// Which commands the frame offers: enabled and checked states, tool-bar buttons and the items
// simple mode leaves out, each a pure function of the frame's state.
#include "command_ids.h"
#include "doc_replay.h"
#include "target_kind.h"

#include <QString>

#include <cstdint>
#include <set>
#include <vector>

struct FrameState {
    bool document = false; // a valid document is loaded
    bool preview = false; // print preview open
    int matchShots = 0;
    int sightingShots = 0;
    int shotsWithHidden = 0; // every shot, whether hidden shots are displayed or not
    bool device = false; // a device is held
    bool timed = false; // timed practice kind on a device that times it
    bool matchStarted = false;
    bool waitsForContinue = false;
    bool threePositions = false;
    bool biathlon = false;
    QString position; // the document's "_position"
    BiathlonTarget::Kind subTarget = BiathlonTarget::None;
    bool resultShown = false;
    bool advancedMode = true;
    bool includeSightings = false;
    bool showHidden = false;
    bool allTraces = false;
    bool shotSelected = false;
    DocumentReplay::State replayState = DocumentReplay::ReplayStopped;
    bool replayAllRunning = false;
    bool validModel = false;
    bool mailAvailable = false;
    bool validShotTimes = false;
    bool toolBarShown = true;
    bool statusBarShown = true;
    bool fullScreen = false;
    bool soundEnabled = true;
    bool bothPanes = false; // splitter shows the shot-list pane
    bool seriesMode = false; // the series table shows series targets
    int visibleView = 0; // command id of the visible view
    int languageId = 1033;
    // What is built into this program: commands of missing parts stay disabled.
    std::set<int> availableViews; // view command ids with a registered view
    bool seriesTableAvailable = false;
    bool practiceAvailable = false;
    bool printingAvailable = false;
    bool optionsAvailable = false;
    bool shotsParametersAvailable = false;
    bool helpAvailable = false;
};

struct CommandState {
    bool enabled = false;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

CommandState commandState(int command, const FrameState& s);

// The parts of FrameState a command's state is worked out from. A change to one of them
// re-evaluates exactly the commands that name it; nothing re-evaluates on a clock.
namespace CommandInput {
enum : uint32_t {
    None = 0,
    Document = 1u << 0, // the document, its shots, model, event, position and display choices
    Selection = 1u << 1, // the selected shot and whether it is hidden
    Replay = 1u << 2, // the replay's state and Replay all
    Practice = 1u << 3, // device, timed procedure, match, Continue, sub-target, result shown
    Preview = 1u << 4,
    Panes = 1u << 5, // shot-list pane and its mode, the visible view, all traces, full screen
    Bars = 1u << 6, // tool bar and status bar shown
    Options = 1u << 7, // expert mode, sound
    Language = 1u << 8,
    All = (1u << 9) - 1,
};
}

// What each command depends on (None: fixed for the life of the frame).
uint32_t commandInputs(int command);
// What a document hint may have changed, seen from the commands.
uint32_t hintInputs(int hint);

// Every command the frame handles, for tests and for building the actions.
const std::vector<int>& frameCommands();

// Tool-bar buttons hidden in the current state (the view selector and the contents bar too).
bool toolbarButtonVisible(int command, const FrameState& s);

// Simple mode removes these from every menu.
bool prunedInSimpleMode(int command);

// The shot-list pane is shown only in advanced mode with a document.
inline bool shotListPaneAllowed(const FrameState& s)
{
    return s.advancedMode && s.document;
}

// Language commands: the LANGID a command selects, 0 when it is none.
int languageOfCommand(int command);
// The command whose radio mark the LANGID gets (by primary language and Chinese sublanguage).
int languageCommandFor(int langId);
