#include "frame_keys.h"

#include "command_ids.h"
#include "device_options.h"
#include "device_session.h"
#include "frame_commands.h"
#include "frame_panes.h"
#include "frame_window.h"
#include "help.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

FrameKeys::FrameKeys(FrameWindow& window, FrameCommands& commands, FramePanes& panes, DeviceSession& session,
                     DeviceOptions& deviceOptions)
    : window_(window), commands_(commands), panes_(panes), session_(session), deviceOptions_(deviceOptions)
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
        if (commands_.action(command) == menu->activeAction()) {
            menu->close();
            kavro::ShowHelpForCommand(uint32_t(command));
            return true;
        }
    }
    auto* w = qobject_cast<QWidget*>(watched);
    return w && w->window() == window_.GetWindow() && handleKey(key);
}

bool FrameKeys::handleKey(QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        if (panes_.previewOpen()) {
            window_.OnCommand(Cmd::ClosePreview);
            return true;
        }
        if (panes_.fullScreen()) {
            window_.OnCommand(Cmd::FullScreen);
            return true;
        }
        return false;
    }
    if (mods == Qt::ControlModifier && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 && !panes_.previewOpen()) {
        const int digit = key->key() - Qt::Key_0;
        panes_.setTargetZoom(digit == 0 ? 10 : digit);
        return true;
    }
    if (panes_.visibleView() != Cmd::ViewTrace || !session_.hasDevice())
        return false;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        window_.OnCommand(Cmd::ResetTraceTarget);
        return true;
    }
    if (key->key() == Qt::Key_Q && mods == Qt::ControlModifier) {
        session_.addShotByHand();
        return true;
    }
    const bool keypad = key->modifiers().testFlag(Qt::KeypadModifier);
    if ((key->key() == Qt::Key_Plus || key->key() == Qt::Key_Minus) && keypad && mods == Qt::NoModifier) {
        deviceOptions_.ChangePiezoRejectInterval(key->key() == Qt::Key_Plus ? 0.1f : -0.1f);
        return true;
    }
    return false;
}
