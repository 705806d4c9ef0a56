#include "frame_message.h"

#include "message_box.h"
#include "ui_text.h"

#include <QGuiApplication>

namespace {
MessageBoxHook& hook()
{
    static MessageBoxHook h;
    return h;
}
} // namespace

void setMessageBoxHook(MessageBoxHook h)
{
    hook() = std::move(h);
}

int ShowMessageBox(const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                   const QString& caption, QWidget* owner)
{
    if (hook())
        return hook()(text, icon);
    if (caption.isEmpty())
        return kavro::KavroMessageBox(owner, text, icon, buttons);
    QMessageBox box(icon, caption, text, buttons, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setLayoutDirection(QGuiApplication::layoutDirection());
    return box.exec();
}

int ShowMessageBox(int textId, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon, QWidget* owner)
{
    return ShowMessageBox(uiText(textId), buttons, icon, QString(), owner);
}
