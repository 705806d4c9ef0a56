#pragma once
// The frame's command ids (menu items, tool-bar buttons, accelerators).
namespace Cmd {
enum : int {
    StartPractice = 32772,
    Open = 57601,
    OpenModel = 32773,
    CloseModel = 32774,
    Save = 57603,
    SendToFolder = 57611,
    Print = 57607,
    PrintPreview = 57609,
    PageSetup = 57606,
    ClosePreview = 32853,
    PreviousPage = 32854,
    NextPage = 32852,
    SendToEmail = 57612,
    Exit = 57665,
    HideRestoreShot = 32776,
    DeleteSightingShots = 32777,
    DeleteAllShots = 32778,
    Replay = 32779,
    ReplayAll = 32780,
    Prone = 32784,
    Standing = 32785,
    Kneeling = 32786,
    StopPractice = 32787,
    ResetTraceTarget = 32871,
    Continue = 32783,
    SwitchToMatch = 32781,
    AdjustSensor = 32782,
    ExpertMode = 32886,
    ToolBar = 0xE800,
    StatusBar = 59393,
    ShowHidden = 32796,
    AllTraces = 32875,
    FullScreen = 32797,
    ResetHardware = 32874,
    ShotsParameters = 32873,
    PrintTarget = 32798,
    Options = 32799,
    HelpContents = 57666,
    About = 57664,
    Sightings = 32815,
    ShotList = 32808,
    Series = 32814,
    ClosePane = 57682,
    LanguagePlaceholder = 32806,
    ViewInfo = 32788,
    ViewTrace = 32789,
    ViewDistance = 32790,
    ViewCoordination = 32791,
    ViewShift = 32792,
    ViewSpeed = 32793,
    ViewIntervals = 32794,
    ViewProbability = 32795,
    SoundOff = 32888,
    PrintShot = 32883,
};
}

// The Language menu: commands in menu order with their captions (each in its own language's
// name, so they are not translated).
struct LanguageMenuItem {
    int command;
    const char* caption;
};
extern const LanguageMenuItem kLanguageMenu[19];
