#pragma once
// A range without a window: the sequencer on a virtual clock, a host that records what the
// procedure does, and a shooter who fires while the range accepts shots.
#include "sequencer.h"

#include "thread/virtual_clock.h"

#include <QString>

#include <atomic>
#include <ostream>
#include <functional>
#include <string>
#include <vector>

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace kavro::trainer::test {

struct RangeEvent {
    uint64_t t; // ms since the fixture was made
    std::string what;
};

class RecordingHost final : public SequencerHost {
public:
    explicit RecordingHost(VirtualClock& clock, uint64_t origin) : clock_(clock), origin_(origin) { }

    RangeSequencer* seq = nullptr;
    std::vector<RangeEvent> log;
    std::atomic<int> posts{0};
    enumSemaphoreMode light = SemaphoreOff;
    int concludes = 0;
    int calibrations = 0;
    int stops = 0;
    int sightingShots = 0;
    int matchShots = 0;
    int missedSighting = 0;
    int missedMatch = 0;
    bool matchStarted = false;
    bool continueOffered = false;
    bool refuseMissedShots = false;
    QString status;
    std::function<void()> duringCalibration;

    void note(std::string what) { log.push_back({clock_.nowMs() - origin_, std::move(what)}); }
    // The times of every event called `what`.
    std::vector<uint64_t> times(const std::string& what) const
    {
        std::vector<uint64_t> r;
        for (const auto& e : log)
            if (e.what == what)
                r.push_back(e.t);
        return r;
    }
    std::vector<std::string> sounds() const
    {
        std::vector<std::string> r;
        for (const auto& e : log)
            if (e.what.rfind("sound ", 0) == 0)
                r.push_back(e.what.substr(6));
        return r;
    }
    // A shot from the shooter; the frame takes it only while the range accepts shots.
    bool fire()
    {
        if (!seq->acceptShots())
            return false;
        (matchStarted ? matchShots : sightingShots)++;
        note("shot");
        return true;
    }

    bool postTick() override
    {
        ++posts;
        return true;
    }
    void setRangeLight(enumSemaphoreMode mode) override
    {
        light = mode;
        note(mode == SemaphoreGreen ? "green" : mode == SemaphoreRed ? "red" : "off");
    }
    void concludeCurrentAiming() override { ++concludes; }
    void playSound(const QString& name) override { note("sound " + name.toStdString()); }
    void setStatusText(const QString& text) override { status = text; }
    void continueAskedChanged(bool asked) override
    {
        continueOffered = asked;
        if (asked)
            note("continue?");
    }
    int shotCount(bool match) override { return match ? matchShots : sightingShots; }
    bool addMissedShot(bool match) override
    {
        if (refuseMissedShots)
            return false;
        (match ? matchShots : sightingShots)++;
        (match ? missedMatch : missedSighting)++;
        note(match ? "missed match" : "missed sighting");
        return true;
    }
    void runCalibration() override
    {
        ++calibrations;
        note("calibration");
        if (duringCalibration)
            duringCalibration();
    }
    void switchToMatch() override
    {
        matchStarted = true;
        note("match");
    }
    void stopPractice() override
    {
        ++stops;
        note("stop");
        seq->stop();
    }

private:
    VirtualClock& clock_;
    uint64_t origin_;
};

// How the shooter behaves: `shotsInWindow(n)` shots in the n-th shooting window (0-based,
// counted over the whole practice), one a second from one second after the light turns green;
// Continue is clicked `continueDelayMs` after the procedure asks for it (never when negative).
struct Shooter {
    std::function<int(int window)> shotsInWindow = [](int) { return 0; };
    int64_t continueDelayMs = 1000;
};

class Range {
public:
    explicit Range(uint64_t clockStartMs = 1000000) : clock(clockStartMs), host(clock, clockStartMs), seq(host, clock)
    {
        host.seq = &seq;
    }
    ~Range() { seq.stop(); }

    // One tick of 10 ms: the shooter acts, then the frame handles the tick message.
    void tick()
    {
        clock.advance(RangeSequencer::kTickPeriodMs);
        act();
        seq.onTickMessage();
        observe();
    }
    // Ticks until `done` holds or `limitMs` have passed; true when `done` held.
    bool runUntil(const std::function<bool()>& done, uint64_t limitMs)
    {
        for (uint64_t spent = 0; spent < limitMs; spent += RangeSequencer::kTickPeriodMs) {
            if (done())
                return true;
            tick();
        }
        return done();
    }
    bool runToEnd(uint64_t limitMs)
    {
        return runUntil([this] { return !seq.isRunning(); }, limitMs);
    }
    // Milliseconds since the range was made, the time base of the host's log.
    uint64_t now() const { return elapsed_; }

    VirtualClock clock;
    RecordingHost host;
    RangeSequencer seq;
    Shooter shooter;
    int windows = 0; // shooting windows opened so far

private:
    void act()
    {
        elapsed_ += RangeSequencer::kTickPeriodMs;
        if (host.continueOffered && shooter.continueDelayMs >= 0 && askedAt_ >= 0
            && int64_t(elapsed_) - askedAt_ >= shooter.continueDelayMs)
            seq.giveContinue();
        if (host.light == SemaphoreGreen && greenAt_ >= 0) {
            const int64_t since = int64_t(elapsed_) - greenAt_;
            if (since > 0 && since % 1000 == 0 && firedInWindow_ < shooter.shotsInWindow(windows - 1) && host.fire())
                ++firedInWindow_;
        }
    }
    void observe()
    {
        const bool green = host.light == SemaphoreGreen;
        if (green && !wasGreen_) {
            greenAt_ = int64_t(elapsed_);
            firedInWindow_ = 0;
            ++windows;
        }
        wasGreen_ = green;
        if (host.continueOffered && !wasAsked_)
            askedAt_ = int64_t(elapsed_);
        wasAsked_ = host.continueOffered;
    }

    uint64_t elapsed_ = 0;
    bool wasGreen_ = false;
    bool wasAsked_ = false;
    int64_t greenAt_ = -1;
    int64_t askedAt_ = -1;
    int firedInWindow_ = 0;
};

} // namespace kavro::trainer::test
