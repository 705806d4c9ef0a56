#include "message_box.h"

#include "language_module.h"
#include "res_strings.h"

namespace kavro {

QMessageBox::StandardButton KavroMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, LoadResString(IDS_APP_TITLE), text, buttons, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.setLayoutDirection(LanguageModule::instance().layoutDirection());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace kavro
