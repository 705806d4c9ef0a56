#include "target_page.h"

#include "print_strings.h"
#include "res_strings.h"
#include "target_pictures.h"

#include <cmath>

namespace kavro::print {

std::optional<float> readTargetDistance(const QString& text, const QLocale& locale)
{
    const QString t = text.trimmed();
    bool ok = false;
    double metres = locale.toDouble(t, &ok);
    if (!ok)
        metres = QLocale::c().toDouble(t, &ok);
    if (!ok || !(metres >= kMinTargetDistance && metres <= kMaxTargetDistance))
        return std::nullopt;
    return float(metres);
}

void cardSize(CardType type, float* w, float* h)
{
    switch (type) {
    case CardType::Vantage5: *w = *h = 100; break;
    case CardType::HomeTrainer:
        *w = 48;
        *h = 44;
        break;
    default: *w = *h = 170; break;
    }
}

namespace {

// A rectangle of the size centred on the printable area.
GdiRect centred(const GdiRect& area, int64_t w, int64_t h)
{
    const int64_t left = area.left + (area.width() - w) / 2, top = area.top + (area.height() - h) / 2;
    return {clampCoordinate(left), clampCoordinate(top), clampCoordinate(left + w), clampCoordinate(top + h)};
}

} // namespace

std::optional<PrintoutPage> BuildTargetPage(const TargetPageRequest& r, const PageGeometry& g)
{
    ComPtr<ITargetParams> target;
    float formWidth = 0, formHeight = 0, eventDistance = 0;
    if (!r.event || FAILED(r.event->get_Target(1, target.put())) || !target)
        return std::nullopt;
    target->get_FormWidth(&formWidth);
    target->get_FormHeight(&formHeight);
    r.event->get_Distance(&eventDistance);
    if (!(eventDistance > 0) || !(r.distance >= kMinTargetDistance && r.distance <= kMaxTargetDistance)
        || !(formWidth > 0) || !(formHeight > 0))
        return std::nullopt;

    const double scale = double(r.distance) / eventDistance / 25.4;
    const GdiRect targetRect
        = centred(g.printable, std::llround(g.dpiX * formWidth * scale), std::llround(g.dpiY * formHeight * scale));
    float cardW = 0, cardH = 0;
    cardSize(r.type, &cardW, &cardH);
    const GdiRect card = centred(g.printable, std::llround(g.dpiX * cardW / 25.4), std::llround(g.dpiY * cardH / 25.4));

    PrintoutPage page;
    // Targets count from 1: the paper target is the event's first, whose size was taken above.
    if (!CreateTargetPictureCell(r.event, page, targetRect, r.clip ? card : g.printable, 1, r.scoreRings))
        return std::nullopt;
    if (r.clip) {
        const int points = r.type == CardType::HomeTrainer ? 8 : 12;
        QString face = LoadResString(IDS_FACE_ARIAL);
        if (face.isEmpty())
            face = QStringLiteral("Arial");
        auto* label = page.add<CPrintoutTextCell>();
        label->font = GdiFont{-MulDiv(points, g.dpiY, 72), 400, face};
        QString name;
        r.event->get_Name(&name);
        label->text = name + QString::asprintf(" (%3.2fm)", double(r.distance));
        label->format = DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP;
        const TextSize size = label->Measure(0);
        label->rect = {card.left, card.top - size.height, card.right, card.top};
        auto* outline = page.add<CPrintoutRectangleCell>();
        outline->rect = card;
    }
    return page;
}

} // namespace kavro::print
