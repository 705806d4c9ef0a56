#pragma once
// The frame's command ids (menu items, tool-bar buttons, accelerators).
namespace Cmd {
inline constexpr int StartPractice = 32772;
inline constexpr int Open = 57601;
inline constexpr int OpenModel = 32773;
inline constexpr int CloseModel = 32774;
inline constexpr int Save = 57603;
inline constexpr int SendToFolder = 57611;
inline constexpr int Print = 57607;
inline constexpr int PrintPreview = 57609;
inline constexpr int PageSetup = 57606;
inline constexpr int ClosePreview = 32853;
inline constexpr int PreviousPage = 32854;
inline constexpr int NextPage = 32852;
inline constexpr int SendToEmail = 57612;
inline constexpr int Exit = 57665;
inline constexpr int HideRestoreShot = 32776;
inline constexpr int DeleteSightingShots = 32777;
inline constexpr int DeleteAllShots = 32778;
inline constexpr int Replay = 32779;
inline constexpr int ReplayAll = 32780;
inline constexpr int Prone = 32784;
inline constexpr int Standing = 32785;
inline constexpr int Kneeling = 32786;
inline constexpr int StopPractice = 32787;
inline constexpr int ResetTraceTarget = 32871;
inline constexpr int Continue = 32783;
inline constexpr int SwitchToMatch = 32781;
inline constexpr int AdjustSensor = 32782;
inline constexpr int ExpertMode = 32886;
inline constexpr int ToolBar = 0xE800;
inline constexpr int StatusBar = 59393;
inline constexpr int ShowHidden = 32796;
inline constexpr int AllTraces = 32875;
inline constexpr int FullScreen = 32797;
inline constexpr int ResetHardware = 32874;
inline constexpr int ShotsParameters = 32873;
inline constexpr int PrintTarget = 32798;
inline constexpr int Options = 32799;
inline constexpr int HelpContents = 57666;
inline constexpr int About = 57664;
inline constexpr int Sightings = 32815;
inline constexpr int ShotList = 32808;
inline constexpr int Series = 32814;
inline constexpr int ClosePane = 57682;
inline constexpr int LanguagePlaceholder = 32806;
inline constexpr int ViewInfo = 32788;
inline constexpr int ViewTrace = 32789;
inline constexpr int ViewDistance = 32790;
inline constexpr int ViewCoordination = 32791;
inline constexpr int ViewShift = 32792;
inline constexpr int ViewSpeed = 32793;
inline constexpr int ViewIntervals = 32794;
inline constexpr int ViewProbability = 32795;
inline constexpr int SoundOff = 32888;
inline constexpr int PrintShot = 32883;
} // namespace Cmd

// The Language menu: commands in menu order with their captions (each in its own language's
// name, so they are not translated).
struct LanguageMenuItem {
    int command;
    const char* caption;
};
extern const LanguageMenuItem kLanguageMenu[19];
