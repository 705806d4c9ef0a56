#pragma once
// What an event's target asks of the trainer, worked out from the event's short name; the numbers
// are the ones the range procedures and the practice rules have always been keyed by.
#include <QString>

namespace TargetKind {
enum Kind : int {
    None = 0, // no event
    Ordinary = 1,
    Biathlon = 2, // "BTLN": the prone/standing pair of targets
    SP1 = 4,
    SP2 = 5,
    SPF = 6,
    N4TL3 = 7,
    N4TL15 = 8,
    Moving10 = 9, // "MRF-22-10", "MRF-32-10"
    Moving8 = 10, // "MRF-22-8", "MRF-32-8"
    Moving6 = 11, // "MRF-22-6", "MRF-32-6"
};
} // namespace TargetKind

// The target kind by the event's short name, compared exactly; any other name is Ordinary.
TargetKind::Kind targetKindOfShortName(const QString& shortName);

// Which of the biathlon pair the shooter is on, numbered as the event's targets; None for a
// position without one of its own (kneeling, or no biathlon).
namespace BiathlonTarget {
enum Kind : int {
    None = -1,
    Standing = 1,
    Prone = 2,
};
} // namespace BiathlonTarget
