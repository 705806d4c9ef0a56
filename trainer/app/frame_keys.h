#pragma once
// The frame's own keys, looked at before any widget of the window gets them: Esc out of print
// preview and full screen, Ctrl+digit for the targets' zoom, and the practice keys of the trace
// view; F1 on a highlighted menu item opens the help about its command.
#include <QObject>

class DeviceOptions;
class DeviceSession;
class FrameCommands;
class FramePanes;
class FrameWindow;
class QKeyEvent;

class FrameKeys : public QObject {
public:
    FrameKeys(FrameWindow& window, FrameCommands& commands, FramePanes& panes, DeviceSession& session,
              DeviceOptions& deviceOptions);
    ~FrameKeys() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(QKeyEvent* key);

    FrameWindow& window_;
    FrameCommands& commands_;
    FramePanes& panes_;
    DeviceSession& session_;
    DeviceOptions& deviceOptions_;
};
