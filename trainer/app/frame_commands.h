#pragma once
// The frame's command table: one action per command, the tool-bar buttons and menus that show
// them, their texts, and their enabled and checked states. A state follows what its command
// depends on (commandInputs): it is worked out again when one of those changes, never on a clock.
#include "command_state.h"

#include <QObject>

#include <functional>
#include <map>
#include <vector>

class CKavroDoc;
class QAction;
class QMenu;
class QMenuBar;
class QPoint;
class QToolBar;
class QWidget;

class FrameCommands : public QObject {
public:
    // `state` tells the frame's state as it is now; `run` carries out a command.
    FrameCommands(QWidget* window, CKavroDoc& doc, std::function<FrameState()> state, std::function<void(int)> run);

    QAction* action(int command) const;
    // A button of its own, so that it can leave a tool bar while its menu item stays.
    QAction* addButton(QToolBar* bar, int command);
    void buildMenus(QMenuBar* bar);
    QMenu* shotMenu() const { return shotMenu_; }
    void showShotMenu(const QPoint& globalPos);
    void reloadTexts();

    // Every command from the state as it is now.
    void updateAll();
    // What the named inputs are made of changed: their commands follow at once.
    void inputsChanged(uint32_t inputs);
    // The frame hears a hint before the views do, and some answers (is a replay running) change
    // only once they have heard it: the hint's commands follow at once and again after the
    // broadcast, when the event loop next turns.
    void hintArrived(int hint);
    void updateButtons(const FrameState& s);

    // A command's string: the status prompt before the first line break, the tool tip after it.
    static QString promptOf(const QString& strings);
    static QString tipOf(const QString& strings);

private:
    void apply(const FrameState& s, uint32_t inputs);
    void applyTexts(int command);
    QString shownCaption(int command, const QString& caption);
    void fillLanguageMenu(QMenu* menu);
    void settle();

    QWidget* window_;
    CKavroDoc& doc_;
    std::function<FrameState()> state_;
    std::function<void(int)> run_;
    std::map<int, QAction*> actions_;
    std::vector<std::pair<QAction*, int>> buttons_;
    QMenu* shotMenu_ = nullptr;
    uint32_t unsettled_ = CommandInput::None; // to look at again once the broadcast is over
};
