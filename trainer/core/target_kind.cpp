#include "target_kind.h"

#include <utility>

TargetKind::Kind targetKindOfShortName(const QString& shortName)
{
    static constexpr std::pair<const char16_t*, TargetKind::Kind> kKinds[] = {
        {u"BTLN", TargetKind::Biathlon},
        {u"SP1", TargetKind::SP1},
        {u"SP2", TargetKind::SP2},
        {u"SPF", TargetKind::SPF},
        {u"N4TL3", TargetKind::N4TL3},
        {u"N4TL15", TargetKind::N4TL15},
        {u"MRF-22-10", TargetKind::Moving10},
        {u"MRF-32-10", TargetKind::Moving10},
        {u"MRF-22-8", TargetKind::Moving8},
        {u"MRF-32-8", TargetKind::Moving8},
        {u"MRF-22-6", TargetKind::Moving6},
        {u"MRF-32-6", TargetKind::Moving6},
    };
    for (const auto& [name, kind] : kKinds)
        if (shortName == QStringView(name))
            return kind;
    return TargetKind::Ordinary;
}
