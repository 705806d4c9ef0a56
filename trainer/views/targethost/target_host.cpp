#include "target_host.h"

#include "com/classregistry.h"
#include "com/connection.h"
#include "com/variant.h"

#include <algorithm>
#include <cmath>

#include <QPointer>
#include <QWidget>

namespace {
CTargetHost::Factory& factory()
{
    static CTargetHost::Factory f;
    return f;
}
} // namespace

class CTargetHost::Sink final : public ComObject<CTargetHost::Sink, _ITargetEvents> {
public:
    TargetEventHandlers handlers;

    HRESULT SelectionChanged() override { return call(handlers.selectionChanged); }
    HRESULT ZoomChanged() override { return call(handlers.zoomChanged); }
    HRESULT LeftClick(float, float) override { return S_OK; }
    HRESULT MiddleClick(float, float) override { return S_OK; }
    HRESULT RightClick(float x, float y) override { return call(handlers.rightClick, x, y); }
    HRESULT DblClick(float x, float y) override { return call(handlers.dblClick, x, y); }
    HRESULT StartDrag(IAiming* a, IShot* s, float x, float y) override { return call(handlers.startDrag, a, s, x, y); }
    HRESULT Drag(IAiming*, IShot*, float, float) override { return S_OK; }
    HRESULT EndDrag(IAiming* a, IShot* s, float x, float y) override { return call(handlers.endDrag, a, s, x, y); }
    HRESULT DragAborted(IAiming*, IShot*) override { return S_OK; }
    HRESULT StartReplay() override { return S_OK; }
    HRESULT ReplayPositionChanged() override { return call(handlers.replayPositionChanged); }
    HRESULT EndReplay() override { return call(handlers.endReplay); }
    HRESULT PauseReplay() override { return S_OK; }

private:
    template <class F, class... Args> static HRESULT call(const F& f, Args... args)
    {
        if (f)
            f(args...);
        return S_OK;
    }
};

void CTargetHost::setFactory(Factory f)
{
    factory() = std::move(f);
}

CTargetHost::~CTargetHost()
{
    if (target_ && cookie_)
        unadviseSink(target_.get(), _ITargetEvents::iid, cookie_);
    if (sink_)
        sink_->handlers = {};
    // The widget belongs to the host's widget tree; it may already be gone with it.
    delete widget_.data();
}

bool CTargetHost::create(QWidget* parent, const TargetEventHandlers& handlers)
{
    ComPtr<ITarget> t;
    if (factory())
        t = factory()();
    else
        createInstance(kavrogui::CLSID_Target, &t);
    ComPtr<ITargetWindow> window = t.query<ITargetWindow>();
    QWidget* w = nullptr;
    if (!t || !window || FAILED(window->CreateWidget(parent, &w)) || !w)
        return false;
    ComPtr<Sink> sink = Sink::create();
    sink_ = sink.get();
    sinkRef_ = sink->identity();
    sink_->handlers = handlers;
    if (FAILED(adviseSink(t.get(), _ITargetEvents::iid, sink_->identity(), &cookie_)))
        cookie_ = 0;
    target_ = t;
    widget_ = w;
    return true;
}

TargetEventHandlers& CTargetHost::handlers()
{
    static TargetEventHandlers none;
    return sink_ ? sink_->handlers : none;
}

float markCrossSize(IEventParams* event)
{
    if (!event)
        return 0.0f;
    Variant value;
    float size = 0.0f;
    if (SUCCEEDED(event->get_Value(QStringLiteral("_mark_size"), &value)) && SUCCEEDED(value.toFloat(&size)))
        size = std::isfinite(size) ? std::max(size, 0.0f) : 0.0f;
    else
        size = 0.0f;
    if (size == 0.0f)
        event->get_DisplayCaliber(&size);
    return size;
}

void AddMarkCross(ITarget* target, float x, float y)
{
    if (!target)
        return;
    ComPtr<IEventParams> event;
    target->get_Event(event.put());
    const float half = markCrossSize(event.get()) / 2.0f;
    const float arms[2][4] = {{x - half, y, x + half, y}, {x, y - half, x, y + half}};
    for (const auto& a : arms) {
        ComPtr<ITargetElement> line;
        if (FAILED(target->AddElement(elementPolyline, std::min(a[0], a[2]), std::min(a[1], a[3]), a[2] - a[0],
                                      a[3] - a[1], line.put()))
            || !line)
            return;
        line->AddPoint(a[0], a[1]);
        line->AddPoint(a[2], a[3]);
        line->put_Fill(VARIANT_FALSE);
        line->put_BorderColor(0x20B7CC);
    }
}
