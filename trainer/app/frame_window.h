#pragma once
// What the frame's collaborators ask of the window itself, without knowing the frame: it owns
// their dialogs and timers, shows the status text and the title, shows or hides the tool-bar
// buttons, and runs a command as the menus would.
class QString;
class QWidget;

class FrameWindow {
public:
    virtual QWidget* GetWindow() = 0;
    // Status-bar pane 0.
    virtual void SetStatusText(const QString& text) = 0;
    virtual void UpdateTitle() = 0;
    virtual void UpdateToolbarButtons() = 0;
    virtual void OnCommand(int command) = 0;

protected:
    ~FrameWindow() = default;
};
