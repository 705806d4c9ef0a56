#pragma once
// The hints a CKavroDoc broadcasts to its views, each bound to what it carries beside its number.
#include "com/hresult.h"
#include "target_kind.h"

#include <cstdint>
#include <iterator>
#include <type_traits>
#include <utility>
#include <variant>

struct IAiming;
struct IShot;

namespace KavroHint {

struct AimingArgs {
    IAiming* aiming = nullptr;
};

struct ShotAddedArgs {
    IAiming* aiming = nullptr;
    IShot* shot = nullptr;
    bool othersMoved = false; // the group was re-centred: every shot of it moved
};

struct ReplayPausedArgs {
    bool paused = false; // false: resumed
};

// Millimetres: the drag on the target, or the device's correction totals in an answer.
struct ShiftArgs {
    float dx = 0;
    float dy = 0;
};

// Only valid during the broadcast: the values belong to the sender.
struct TriggerArgs {
    const int32_t* values = nullptr;
    int count = 0;
};

struct SubTargetArgs {
    BiathlonTarget::Kind subTarget = BiathlonTarget::None;
};

struct HeartBeatArgs {
    DATE dateMin = 0;
    DATE dateMax = 0;
};

using Payload = std::variant<std::monostate, AimingArgs, ShotAddedArgs, ReplayPausedArgs, ShiftArgs, TriggerArgs,
                             SubTargetArgs, HeartBeatArgs>;

// A hint: its number and the one payload type every broadcast of it carries. Each hint is a type
// of its own, so a hint sent with another hint's payload does not compile; it reads as its number
// wherever views switch over hints or compare them.
template <int number, class Carried = std::monostate> struct Hint {
    using Args = Carried;
    constexpr operator int() const { return number; }
};

inline constexpr Hint<0> Everything{}; // new, opened, cleared or reset document; hidden state changed
inline constexpr Hint<1> Language{}; // user-interface language changed: reload captions
inline constexpr Hint<2> Model{}; // model document opened or closed
inline constexpr Hint<3> Saved{};
inline constexpr Hint<4> SelectedShot{}; // sender = the selecting view (null from the frame)
inline constexpr Hint<5> IncludeSightings{};
inline constexpr Hint<6> ShooterName{};
inline constexpr Hint<7> Comments{};
inline constexpr Hint<8> Position{};
inline constexpr Hint<9> ShotParameters{}; // coefficient, trace seconds, ControlInterval2, offset, dispersion, centring
inline constexpr Hint<10, AimingArgs> AimingStarted{};
inline constexpr Hint<11, AimingArgs> TraceCoordinates{};
inline constexpr Hint<12, ShotAddedArgs> ShotAdded{};
inline constexpr Hint<13, AimingArgs> AimingConcluded{};
inline constexpr Hint<14> AimingFinal{};
inline constexpr Hint<15> MayReplayStart{}; // a question: CView::MayReplayStart
inline constexpr Hint<16> ReplayStarts{};
inline constexpr Hint<17> ReplayStopped{};
inline constexpr Hint<18, ReplayPausedArgs> ReplayPaused{};
inline constexpr Hint<19, ShiftArgs> ShiftCorrection{}; // a question: CView::ShiftCorrection
inline constexpr Hint<20> Pulse{};
inline constexpr Hint<21> PracticeStarted{};
inline constexpr Hint<22> MatchStarted{};
inline constexpr Hint<23> PracticeStopped{};
inline constexpr Hint<24, TriggerArgs> TriggerValues{};
inline constexpr Hint<25> IsReplayRunning{}; // a question: CView::IsReplayRunning
inline constexpr Hint<26, SubTargetArgs> BiathlonSubTarget{};
inline constexpr Hint<27, HeartBeatArgs> HeartBeat{};
inline constexpr Hint<28> AdvancedMode{};

// Views tell hints apart by number: each number is taken once, from 0 up.
inline constexpr int kNumbers[] = {Everything,      Language,        Model,
                                   Saved,           SelectedShot,    IncludeSightings,
                                   ShooterName,     Comments,        Position,
                                   ShotParameters,  AimingStarted,   TraceCoordinates,
                                   ShotAdded,       AimingConcluded, AimingFinal,
                                   MayReplayStart,  ReplayStarts,    ReplayStopped,
                                   ReplayPaused,    ShiftCorrection, Pulse,
                                   PracticeStarted, MatchStarted,    PracticeStopped,
                                   TriggerValues,   IsReplayRunning, BiathlonSubTarget,
                                   HeartBeat,       AdvancedMode};
static_assert([] {
    for (int i = 0; i < int(std::size(kNumbers)); ++i)
        if (kNumbers[i] != i)
            return false;
    return true;
}());

// The payload type of a hint.
template <auto hint> using ArgsOf = typename std::remove_cvref_t<decltype(hint)>::Args;

// `fields` make a hint's payload `Args`: the payload itself or its members in order; nothing only
// for a hint that carries nothing.
template <class Args, class... Fields>
concept PayloadFields = (std::is_same_v<Args, std::monostate> || sizeof...(Fields) > 0) && requires(Fields&&... fields)
{
    Args{std::forward<Fields>(fields)...};
};

// The payload of a broadcast of `hint`.
template <int number, class Args, class... Fields>
requires PayloadFields<Args, Fields...> Payload payloadFor(Hint<number, Args>, Fields&&... fields)
{
    return Payload(std::in_place_type<Args>, Args{std::forward<Fields>(fields)...});
}

// What a broadcast of `hint` carries, as that hint's payload type; null when the payload was not
// built for it.
template <auto hint>
requires(!std::is_same_v<ArgsOf<hint>, std::monostate>) const ArgsOf<hint>* payloadOf(const Payload& payload)
{
    return std::get_if<ArgsOf<hint>>(&payload);
}

// The aiming a hint is about, from either payload that names one; null otherwise.
inline IAiming* aimingOf(const Payload& payload)
{
    if (const auto* a = std::get_if<AimingArgs>(&payload))
        return a->aiming;
    if (const auto* s = std::get_if<ShotAddedArgs>(&payload))
        return s->aiming;
    return nullptr;
}
} // namespace KavroHint
