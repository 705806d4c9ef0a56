#include "toolbar_fit.h"

#include <QAction>
#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QToolBar>
#include <QToolButton>
#include <QVariant>

#include <algorithm>
#include <vector>

ToolBarTextFit::ToolBarTextFit(QToolBar* bar) : QObject(bar), bar_(bar)
{
    bar->installEventFilter(this);
}

void ToolBarTextFit::keep(QToolBar* bar)
{
    static const char* const kFitted = "kavroTextFit";
    if (bar && !bar->property(kFitted).toBool()) {
        bar->setProperty(kFitted, true);
        new ToolBarTextFit(bar);
    }
}

bool ToolBarTextFit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == bar_ && !fitting_) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::ActionAdded:
        case QEvent::ActionRemoved:
        case QEvent::ActionChanged:
        case QEvent::FontChange:
        case QEvent::StyleChange: refit(); break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ToolBarTextFit::refit()
{
    if (fitting_ || bar_->orientation() != Qt::Horizontal)
        return;
    fitting_ = true;
    struct Button {
        QAction* action;
        QString text; // the whole text
        int padding; // the button's width less its text's
        QFontMetrics metrics;
    };
    std::vector<Button> buttons;
    int widest = 0;
    // What the fit depends on; a checked state changing (a view shown) leaves it as it was.
    QStringList inputs{QString::number(bar_->width())};
    for (QAction* a : bar_->actions()) {
        auto* button = qobject_cast<QToolButton*>(bar_->widgetForAction(a));
        if (!a->isVisible() || (!button && !a->isSeparator()))
            continue;
        inputs << (a->isSeparator() ? QStringLiteral("|") : a->text() + button->font().key());
        if (a->isSeparator())
            continue;
        const QFontMetrics fm(button->font());
        const QString text = a->text();
        const int padding = button->sizeHint().width() - fm.horizontalAdvance(button->text());
        buttons.push_back({a, text, padding, fm});
        widest = std::max(widest, padding + fm.horizontalAdvance(text));
    }
    if (inputs == fitted_) {
        fitting_ = false;
        return;
    }
    fitted_ = inputs;
    // Every text no wider than `cap` allows (whole texts for a cap of the widest button).
    auto shorten = [&](int cap) {
        for (const Button& b : buttons) {
            const QString shown = b.metrics.elidedText(b.text, Qt::ElideRight, std::max(0, cap - b.padding));
            b.action->setIconText(shown == b.text || shown.isEmpty() ? QString() : shown);
        }
    };
    auto fits = [&](int cap) {
        shorten(cap);
        bar_->layout()->invalidate();
        return bar_->sizeHint().width() <= bar_->width();
    };
    if (!buttons.empty() && !fits(widest)) {
        // The widest cap that fits, down to a few letters a button.
        int lo = buttons.front().metrics.horizontalAdvance(QStringLiteral("W…")), hi = widest;
        for (const Button& b : buttons)
            lo = std::max(lo, b.padding + b.metrics.horizontalAdvance(QStringLiteral("W…")));
        while (lo < hi) {
            const int mid = (lo + hi + 1) / 2;
            if (fits(mid))
                lo = mid;
            else
                hi = mid - 1;
        }
        shorten(lo);
    }
    fitting_ = false;
}
