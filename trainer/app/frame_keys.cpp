#include "frame_keys.h"

#include "help.h"
#include "main_frame.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

FrameKeys::FrameKeys(CMainFrame& frame) : frame_(frame)
{
    qApp->installEventFilter(this);
}

FrameKeys::~FrameKeys()
{
    qApp->removeEventFilter(this);
}

bool FrameKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (auto* menu = qobject_cast<QMenu*>(watched);
        menu && key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && menu->activeAction()) {
        const int command = menu->activeAction()->data().toInt();
        if (frame_.action(command) == menu->activeAction()) {
            menu->close();
            kavro::ShowHelpForCommand(uint32_t(command));
            return true;
        }
    }
    auto* w = qobject_cast<QWidget*>(watched);
    return w && w->window() == &frame_ && handleKey(key);
}

bool FrameKeys::handleKey(QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        if (frame_.isPreviewOpen()) {
            frame_.OnCommand(Cmd::ClosePreview);
            return true;
        }
        if (frame_.isFullScreenMode()) {
            frame_.OnCommand(Cmd::FullScreen);
            return true;
        }
        return false;
    }
    if (mods == Qt::ControlModifier && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 && !frame_.isPreviewOpen()) {
        const int digit = key->key() - Qt::Key_0;
        frame_.panes().setTargetZoom(digit == 0 ? 10 : digit);
        return true;
    }
    if (frame_.visibleViewCommand() != Cmd::ViewTrace || !frame_.practice().hasDevice())
        return false;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        frame_.OnCommand(Cmd::ResetTraceTarget);
        return true;
    }
    if (key->key() == Qt::Key_Q && mods == Qt::ControlModifier) {
        frame_.practice().addShotByHand();
        return true;
    }
    const bool keypad = key->modifiers().testFlag(Qt::KeypadModifier);
    if ((key->key() == Qt::Key_Plus || key->key() == Qt::Key_Minus) && keypad && mods == Qt::NoModifier) {
        frame_.ChangePiezoRejectInterval(key->key() == Qt::Key_Plus ? 0.1f : -0.1f);
        return true;
    }
    return false;
}
