#pragma once
// A target display control hosted in a view: the control is created by class id, its window is a
// child widget of the host, and its events reach the host's callbacks. The host owns both.
#include "kavrogui.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class TargetEventHandlers {
public:
    std::function<void()> selectionChanged;
    std::function<void()> zoomChanged;
    std::function<void(float, float)> rightClick;
    std::function<void(float, float)> dblClick;
    std::function<void(IAiming*, IShot*, float, float)> startDrag;
    std::function<void(IAiming*, IShot*, float, float)> endDrag;
    std::function<void()> replayPositionChanged;
    std::function<void()> endReplay;
};

// The arm-to-arm size (mm) of a mark cross for an event: its value "_mark_size" (negative counts
// as 0), or, when that is 0, the diameter the control draws a shot hole with.
float markCrossSize(IEventParams* event);
// Marks a point (mm) on a control with a cross of two lines, as large as markCrossSize says for
// the control's event.
void AddMarkCross(ITarget* target, float x, float y);

class CTargetHost {
public:
    // Tests put a factory here to hand out controls they can drive (replay clock); null: by class id.
    using Factory = std::function<ComPtr<ITarget>()>;
    static void setFactory(Factory factory);

    CTargetHost() = default;
    CTargetHost(const CTargetHost&) = delete;
    CTargetHost& operator=(const CTargetHost&) = delete;
    ~CTargetHost();

    // Creates the control and its window in `parent`; false (and no control) when either fails.
    bool create(QWidget* parent, const TargetEventHandlers& handlers);
    ITarget* target() const { return target_.get(); }
    QWidget* widget() const { return widget_; }
    TargetEventHandlers& handlers();

private:
    class Sink;
    ComPtr<ITarget> target_;
    ComPtr<IUnknown> sinkRef_;
    Sink* sink_ = nullptr; // held by sinkRef_
    uint32_t cookie_ = 0;
    QPointer<QWidget> widget_;
};
