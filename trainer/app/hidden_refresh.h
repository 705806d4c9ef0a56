#pragma once
// A hidden view only notes what the document's hints would change and catches up when it is shown
// (or before it is printed): pages nobody looks at cost nothing while the shooter practises.
#include <QScopeGuard>
#include <QWidget>

#include <utility>

class HiddenRefresh {
public:
    // `owed` is what the view must fetch the first time it is shown.
    explicit HiddenRefresh(unsigned owed = 0) : m_owed(owed) { }

    // True when a hint should only be noted: the view is hidden and is not catching up (a catch-up
    // replays hints through the view's own handler, which must then act on them).
    bool defers(const QWidget& view) const { return !view.isVisible() && !m_catchingUp; }

    void owe(unsigned what) { m_owed |= what; }
    bool owes() const { return m_owed != 0; }

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
        const unsigned owed = std::exchange(m_owed, 0u);
        if (!owed)
            return;
        const bool outer = std::exchange(m_catchingUp, true);
        const auto done = qScopeGuard([this, outer] { m_catchingUp = outer; });
        std::forward<Refresh>(refresh)(owed);
    }

private:
    unsigned m_owed = 0;
    bool m_catchingUp = false;
};
