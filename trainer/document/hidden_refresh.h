#pragma once
// A hidden view only notes what the document's hints would change and catches up when it is shown
// (or before it is printed): pages nobody looks at cost nothing while the shooter practises.
#include <QScopeGuard>
#include <QWidget>

#include <utility>

class HiddenRefresh {
public:
    // `owed` is what the view must fetch the first time it is shown.
    explicit HiddenRefresh(unsigned owed = 0) : owed_(owed) { }

    // True when a hint should only be noted: the view is hidden and is not catching up (a catch-up
    // replays hints through the view's own handler, which must then act on them).
    bool defers(const QWidget& view) const { return !view.isVisible() && !catchingUp_; }

    void owe(unsigned what) { owed_ |= what; }
    bool owes() const { return owed_ != 0; }

    // Owes `what`; true when the view is shown and should catch up at once.
    bool request(const QWidget& view, unsigned what)
    {
        owe(what);
        return view.isVisible();
    }

    // Runs `refresh(owed)` if anything is owed. The debt is cleared first, so a hint that arrives
    // during the refresh is owed again rather than lost.
    template <class Refresh> void catchUp(Refresh&& refresh)
    {
        const unsigned owed = std::exchange(owed_, 0u);
        if (!owed)
            return;
        const bool outer = std::exchange(catchingUp_, true);
        const auto done = qScopeGuard([this, outer] { catchingUp_ = outer; });
        std::forward<Refresh>(refresh)(owed);
    }

private:
    unsigned owed_ = 0;
    bool catchingUp_ = false;
};
