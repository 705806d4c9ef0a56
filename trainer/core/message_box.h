#pragma once
// The program's message boxes: captioned with the program title, modal to the whole program, and
// reading right to left while the interface language does.
#include <QMessageBox>
#include <QString>

namespace kavro {

QMessageBox::StandardButton KavroMessageBox(QWidget* parent, const QString& text,
                                            QMessageBox::Icon icon = QMessageBox::NoIcon,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

} // namespace kavro
