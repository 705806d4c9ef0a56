#include "message_box.h"

#include "ui_text.h"

#include <QApplication>

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
    QMessageBox box(icon, caption.isEmpty() ? uiText(128) : caption, text, buttons, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setLayoutDirection(QApplication::layoutDirection());
    return box.exec();
}

int ShowMessageBox(int textId, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                   int captionId, QWidget* owner)
{
    return ShowMessageBox(uiText(textId), buttons, icon, uiText(captionId), owner);
}
