#include "frame_layout.h"

#include "app_registry.h"
#include "window_rect.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {
const QString kZoomed = QStringLiteral("Zoomed");
const QString kWindowRect = QStringLiteral("WindowRect");
const QString kToolBar = QStringLiteral("ToolBar");
const QString kStatusBar = QStringLiteral("StatusBar");
const QString kSplitterPos = QStringLiteral("SplitterPos");
const QString kBars = QStringLiteral("ReBar");

// Beyond any screen: a larger stored position is damage, not a choice.
constexpr uint32_t kMaxSplitterPos = 16384;
} // namespace

FrameLayout loadFrameLayout(const SettingsKey& root)
{
    FrameLayout l;
    uint32_t d = 0;
    if (SUCCEEDED(root.readDword(kZoomed, &d)))
        l.zoomed = d != 0;
    if (SUCCEEDED(root.readDword(kToolBar, &d)))
        l.toolBar = d != 0;
    if (SUCCEEDED(root.readDword(kStatusBar, &d)))
        l.statusBar = d != 0;
    if (SUCCEEDED(root.readDword(kSplitterPos, &d)) && d <= kMaxSplitterPos)
        l.splitterPos = int(d);
    QByteArray b;
    if (SUCCEEDED(root.readBinary(kWindowRect, &b)))
        l.windowRect = kavro::trainer::decodeWindowRect(b);
    if (SUCCEEDED(root.readBinary(kBars, &b)))
        l.barState = b;
    return l;
}

void saveFrameLayout(const SettingsKey& root, const FrameLayout& l)
{
    root.writeDword(kZoomed, l.zoomed ? 1 : 0);
    if (l.windowRect)
        root.writeBinary(kWindowRect, kavro::trainer::encodeWindowRect(*l.windowRect));
    root.writeDword(kToolBar, l.toolBar ? 1 : 0);
    root.writeDword(kStatusBar, l.statusBar ? 1 : 0);
    root.writeDword(kSplitterPos, uint32_t(std::max(0, l.splitterPos)));
    root.writeBinary(kBars, l.barState);
}

QRect clampToScreens(const QRect& r, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return r;
    QRect best = screens.first();
    long long bestArea = -1;
    for (const QRect& s : screens) {
        const QRect i = s.intersected(r);
        const long long area = i.isEmpty() ? 0 : 1LL * i.width() * i.height();
        if (area > bestArea) {
            bestArea = area;
            best = s;
        }
    }
    QRect out = r;
    out.setWidth(std::min(r.width(), best.width()));
    out.setHeight(std::min(r.height(), best.height()));
    out.moveLeft(std::clamp(out.left(), best.left(), best.left() + best.width() - out.width()));
    out.moveTop(std::clamp(out.top(), best.top(), best.top() + best.height() - out.height()));
    return out;
}

QRect defaultFrameRect(const QRect& screen)
{
    const int w = std::min(screen.width(), std::max(screen.width() * 3 / 4, 1024));
    const int h = std::min(screen.height(), std::max(screen.height() * 3 / 4, 700));
    QRect r(0, 0, w, h);
    r.moveCenter(screen.center());
    return r;
}

namespace {
QList<QRect> screenAreas()
{
    QList<QRect> screens;
    for (QScreen* s : QGuiApplication::screens())
        screens.append(s->availableGeometry());
    return screens;
}
} // namespace

QRect clampToCurrentScreens(const QRect& r)
{
    return clampToScreens(r, screenAreas());
}
