#pragma once
// The text protocol of the live notifications: one ASCII line per message, "<NAME> <wParam>
// <lParam>\n", and the listener's "KAVRO:REGISTER <flags>\n". Coordinates travel in 1/20 mm,
// signed 16 bits each, Y in the high half.
#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace kavro::live {

enum class Message { State, Point, Shot, Trigger, HeartBeat };

// What "KAVRO:STATE" tells: a new aiming is announced twice, as starting and then as started.
enum PracticeState : int32_t {
    AimingStarting = 1,
    AimingStarted = 2,
    AimingConcluded = 3,
    AimingConcludedFinally = 4,
    PracticeStopped = 5,
};

// "KAVRO:STATE", "KAVRO:POINT", ...
const char* messageName(Message m);

// Lines longer than this (the "\n" not counted) end the listener's connection.
constexpr int kMaxLineLength = 256;
// Lines waiting for one listener beyond this are dropped for it.
constexpr int kMaxPendingLines = 10000;

// The double product stored as a float, rounded half to even, saturated to the 16-bit range,
// so that a point far off the target does not wrap round to the other side.
int16_t wireCoordinate(double mm);
// X in the low 16 bits, Y in the high 16 bits, each in 1/20 mm.
uint32_t packPoint(double x, double y);
// The shot's score times ten (10.4 -> 104).
int32_t shotResultParam(double result);

QByteArray formatLine(Message m, int32_t wParam, uint32_t lParam);

// The flags of a "KAVRO:REGISTER <flags>" line (without its "\n"); nothing for any other line.
std::optional<int32_t> parseRegister(QByteArrayView line);
// The trainer's answer to a registration.
QByteArray registeredLine(int32_t flags);

// Flags 3 exactly subscribe to the trace stream (POINT, TRIGGER); any non-zero value to the rest.
inline bool wantsMessage(int32_t flags, Message m)
{
    if (m == Message::Point || m == Message::Trigger)
        return flags == 3;
    return flags != 0;
}

} // namespace kavro::live
