#pragma once
// The frame's window layout kept in the settings root between runs.
#include "settings/settings.h"

#include <QByteArray>
#include <QList>
#include <QRect>

#include <optional>

struct FrameLayout {
    bool zoomed = false;
    std::optional<QRect> windowRect; // the normal (not maximised) geometry
    bool toolBar = true;
    bool statusBar = true;
    int splitterPos = 250;
    QByteArray barState; // QMainWindow::saveState of the tool bars
};

// Reads what is there and valid; everything else keeps its default, whatever the file holds.
FrameLayout loadFrameLayout(const SettingsKey& root);
void saveFrameLayout(const SettingsKey& root, const FrameLayout& layout);

// Moves and shrinks `r` onto the screen it overlaps most (the first when none), so that a
// window saved on a screen that is gone comes back where it can be seen.
QRect clampToScreens(const QRect& r, const QList<QRect>& screens);
QRect clampToCurrentScreens(const QRect& r);

// Where the frame opens when no layout is stored: three quarters of the screen's free area, but
// never smaller than room for the shot list beside a readable view (the screen permitting),
// centred on it.
QRect defaultFrameRect(const QRect& screen);
