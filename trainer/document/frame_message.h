#pragma once
// The frame's and the document's questions and messages, by text or string id, through the
// program's message box; tests answer them through a hook instead.
#include <QMessageBox>
#include <QString>

#include <functional>

// Shows `text` and returns the button pressed (a QMessageBox::StandardButton).
int ShowMessageBox(const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                   const QString& caption = QString(), QWidget* owner = nullptr);
int ShowMessageBox(int textId, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon, QWidget* owner = nullptr);

// While set, every message box is answered by the hook (which sees the text and the icon).
using MessageBoxHook = std::function<int(const QString& text, QMessageBox::Icon icon)>;
void setMessageBoxHook(MessageBoxHook hook);
