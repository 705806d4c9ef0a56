#pragma once
// The catalog extension's few words with the user: messages and the delete question. Message
// boxes when the program has widgets; tests put their own answers in place.
#include <QString>

#include <functional>

class QWidget;

namespace kavro::catalog {

struct CatalogUi {
    std::function<void(const QString& text, const QString& caption)> message;
    std::function<bool(QWidget* owner, const QString& text, const QString& caption)> confirm;
};

// The hooks in use; empty members fall back to message boxes.
CatalogUi& catalogUi();
void showCatalogMessage(const QString& text, const QString& caption);
bool askCatalogQuestion(QWidget* owner, const QString& text, const QString& caption);

} // namespace kavro::catalog
