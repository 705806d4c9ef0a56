#pragma once
// The page of the print target tool: a paper target of an event scaled for shooting at another
// distance from the electronic target, on a card of the chosen trainer type.
#include "kavrodoc.h"
#include "report.h"

#include <QLocale>
#include <optional>

namespace kavro::print {

enum class CardType { Vantage5 = 0, Vantage10 = 1, Runner10 = 2, HomeTrainer = 3 };

struct TargetPageRequest {
    IEventParams* event = nullptr;
    CardType type = CardType::Vantage10;
    float distance = 10.0f; // metres from the electronic target, 1..500
    bool scoreRings = true;
    bool clip = true;
};

constexpr float kMinTargetDistance = 1.0f;
constexpr float kMaxTargetDistance = 500.0f;

// The distance the tool's edit holds, in metres: a number from 1 to 500 as the locale or the C
// locale writes it; nullopt for anything else, which the tool refuses.
std::optional<float> readTargetDistance(const QString& text, const QLocale& locale);

// The card's size in millimetres.
void cardSize(CardType type, float* widthMm, float* heightMm);

// Nullopt when the event has no target or no distance of its own, or the distance is outside
// 1..500 m.
std::optional<PrintoutPage> BuildTargetPage(const TargetPageRequest& request, const PageGeometry& geometry);

} // namespace kavro::print
