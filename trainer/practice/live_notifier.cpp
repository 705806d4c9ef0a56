#include "live_notifier.h"

#include "live_server.h"
#include "practice_rules.h"

#include <vector>

using kavro::live::Message;

LiveNotifier::LiveNotifier(QObject* owner) : server_(new kavro::live::LiveServer(owner))
{
    QString path;
    if (FAILED(kavro::live::socketPath(&path)))
        qWarning("Live notifications are off: the per-user runtime folder is not private");
    else if (!server_->listen(path))
        qWarning("Live notifications are off: %s", qPrintable(server_->errorString()));
}

void LiveNotifier::postState(kavro::live::PracticeState state)
{
    server_->post(Message::State, state, 0);
}

void LiveNotifier::aimingStarted()
{
    postState(kavro::live::AimingStarting);
    postState(kavro::live::AimingStarted);
}

void LiveNotifier::aimingConcluded()
{
    postState(kavro::live::AimingConcluded);
}

void LiveNotifier::aimingFinal()
{
    postState(kavro::live::AimingConcludedFinally);
}

void LiveNotifier::practiceStopped()
{
    postState(kavro::live::PracticeStopped);
}

void LiveNotifier::heartBeat()
{
    server_->post(Message::HeartBeat, 0, 0);
}

void LiveNotifier::shotAdded(IShot* shot)
{
    float result = 0, x = 0, y = 0;
    shot->get_Result(&result);
    shot->get_BreachX(&x);
    shot->get_BreachY(&y);
    server_->post(Message::Shot, kavro::live::shotResultParam(result), kavro::live::packPoint(x, y));
}

void LiveNotifier::tracePoints(IAiming* aiming, int32_t count)
{
    if (!server_->hasTraceListeners())
        return;
    ComPtr<IAimingTrace> trace;
    if (FAILED(aiming->get_Trace(trace.put())) || !trace)
        return;
    int32_t first = 0, last = -1, trigger = -1;
    trace->get_First(&first);
    trace->get_Last(&last);
    trace->GetUserData(QStringLiteral("_trigger"), &trigger);
    std::vector<QByteArray> lines;
    for (int i = kavro::practice::firstNewPoint(first, last, count); i <= last; ++i) {
        float x = 0, y = 0;
        trace->get_x(i, &x);
        trace->get_y(i, &y);
        lines.push_back(kavro::live::formatLine(Message::Point, 0, kavro::live::packPoint(x, y)));
        if (trigger > 0) {
            int32_t value = 0;
            trace->get_UserData(trigger, i, &value);
            lines.push_back(kavro::live::formatLine(Message::Trigger, value, 0));
        }
    }
    server_->postTrace(lines);
}
