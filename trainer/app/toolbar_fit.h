#pragma once
// Keeps every button of a tool bar in sight: when the bar is too narrow for the buttons' whole
// texts, the longest of them are shortened with an ellipsis (their tool tips keep the whole text)
// rather than moved behind the bar's overflow, where the button of the view being shown would
// not be seen.
#include <QObject>
#include <QStringList>

class QToolBar;

class ToolBarTextFit : public QObject {
public:
    // Fits the bar's buttons from now on (the fitting belongs to the bar).
    static void keep(QToolBar* bar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ToolBarTextFit(QToolBar* bar);
    void refit();
    QToolBar* bar_;
    bool fitting_ = false;
    QStringList fitted_; // what the texts were last fitted to
};
