#pragma once
// The practice as other local programs follow it live: the states of an aiming, its trace points
// and triggers, each shot and each heart beat. Off, with a warning, when the per-user socket
// cannot be had.
#include "kavrodoc.h"
#include "live/live_wire.h"

#include <cstdint>

class QObject;
namespace kavro::live {
class LiveServer;
}

class LiveNotifier {
public:
    // The server is a child of `owner`.
    explicit LiveNotifier(QObject* owner);

    void aimingStarted();
    // The aiming's newest `count` points, for the programs that follow the trace.
    void tracePoints(IAiming* aiming, int32_t count);
    void shotAdded(IShot* shot);
    void aimingConcluded();
    void aimingFinal();
    void heartBeat();
    void practiceStopped();

    kavro::live::LiveServer* server() const { return server_; }

private:
    void postState(kavro::live::PracticeState state);

    kavro::live::LiveServer* server_;
};
