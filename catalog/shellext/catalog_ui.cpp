#include "catalog_ui.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace kavro::catalog {

namespace {
bool hasWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}
} // namespace

CatalogUi& catalogUi()
{
    static CatalogUi ui;
    return ui;
}

void showCatalogMessage(const QString& text, const QString& caption)
{
    if (catalogUi().message)
        return catalogUi().message(text, caption);
    if (hasWidgets())
        QMessageBox::warning(QApplication::activeWindow(), caption, text, QMessageBox::Ok);
    else
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
}

bool askCatalogQuestion(QWidget* owner, const QString& text, const QString& caption)
{
    if (catalogUi().confirm)
        return catalogUi().confirm(owner, text, caption);
    if (!hasWidgets())
        return false;
    return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

} // namespace kavro::catalog
