#pragma once
// The aiming bookkeeping the serial models share: the aiming and trace being recorded, its shots,
// the points not yet reported, and the order in which the events of sub-device 1 are fired.
// Only sub-device 1 exists on a serial sensor.
#include "device/model/aiming_recorder.h"
#include "device/serial/serial_kavro.h"

namespace kavro {

class CSerialAimingKavro : public CSerialKavro {
public:
    using CSerialKavro::CSerialKavro;

    void SetPiezoSensitivity(int32_t n, int32_t value) override;
    int32_t GetPiezoSensitivity(int32_t n) override;
    int32_t SignalLevel(int32_t) override { return lastSignal_; }
    int32_t PiezoLevel(int32_t) override { return lastPiezo_; }

    void FlushCoordinates() override;
    void ConcludeCurrentAiming(int32_t n) override;
    void Reset(int32_t n) override { ConcludeCurrentAiming(n); }
    // A shot the trainer adds by hand: reported at once, the points before it with the next flush.
    void AddShot(bool unlimited) override;

protected:
    // Makes the next aiming; false (still waiting) when none could be made.
    bool StartAiming();
    // Records a shot unless the event's most shots are reached.
    void AddShotToAiming(bool missed, bool flushFirst);
    virtual void TakeShot(bool missed) { AddShotToAiming(missed, true); }
    void ConcludeAiming();
    virtual void ResetAiming();
    // Adds a trace point in hundredths of a millimetre, stamping the enter time when the point
    // first scores; counts it as pending.
    void AddTracePoint(int32_t x, int32_t y);
    void AddInvalidTracePoint();
    // True when the aiming ended because the follow-through time after the last shot is over.
    bool FollowThroughOver();
    // The samples of the time after a shot (SampleRate x MaxTimeAfterShot).
    int32_t FollowThroughSamples() const;
    int32_t EventMinShots() const;
    int32_t EventMaxShots() const;
    float PointScore(float xMm, float yMm) const;

    // Hooks: a new trace before its aiming is announced; a shot before it is announced.
    virtual void PrepareTrace(IAimingTrace*) { }
    virtual void ShotAdded(IShot*) { }
    // The aiming is ending: the missed shots it is given must not teach the model anything.
    virtual void AimingEnding() { }
    // Reports what the model gathers per sample beside the points, at every report of the points.
    virtual void FlushBatchedValues() { }

    AimingRecorder recorder_{*this, [this] { FlushBatchedValues(); }};
    std::atomic<int32_t> piezoThreshold_{30};
    int32_t lastSignal_ = 0;
    int32_t lastPiezo_ = 0;
    int32_t shots_ = 0;
    int32_t samplesSinceShot_ = 0;
    int32_t settleCounter_ = 0;
    int32_t samplesWithoutSignal_ = 0;
    bool waiting_ = true;
    bool active_ = false;
    bool settled_ = false;
};

} // namespace kavro
