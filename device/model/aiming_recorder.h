#pragma once
// The aiming of sub-device 1 that a model is recording and the order in which its events are
// fired: the start, the points reported in batches, the shots, the conclusion and the final
// conclusion owed once the signal is gone. When each step happens is the model's rule.
#include "kavrodev.h"

#include <functional>
#include <optional>
#include <utility>

namespace kavro {

class CGenericKavro;

class AimingRecorder {
public:
    // `afterFlush` reports what a model batches beside the points, each time the points are.
    explicit AimingRecorder(CGenericKavro& model, std::function<void()> afterFlush = {})
        : model_(model), afterFlush_(std::move(afterFlush))
    {
    }
    AimingRecorder(const AimingRecorder&) = delete;
    AimingRecorder& operator=(const AimingRecorder&) = delete;

    // Drops the aiming being recorded and makes a new one whose trace and attributes carry the
    // host's settings; it is announced by StartAiming. False when none could be made.
    bool NewAiming();
    void StartAiming();
    // Reports the points added since the last report.
    void FlushCoordinates();
    // Reports the last points, then forgets the aiming.
    void ResetAiming();
    void CountPoint() { ++pending_; }
    // Adds a dated shot; `microphonePhase` only from sensors that measure it. Null on failure.
    ComPtr<IShot> NewShot(bool missed, std::optional<double> microphonePhase = std::nullopt);
    void AnnounceShot(IShot* shot);
    // Calls `addMissed` until the aiming holds `minimum` shots (`shots` counts them); stops when a
    // call adds none or the sinks replaced the aiming.
    void AddMissedShots(int32_t minimum, const int32_t& shots, const std::function<void()>& addMissed);
    // Closes the trace, reports its last points and the conclusion; the final conclusion is owed
    // from now on. False when no aiming is being recorded.
    bool ConcludeAiming();
    // The trainer ends the aiming: `conclude` runs the model's conclusion, then the final
    // conclusion of sub-device `n` is fired at once.
    void ConcludeCurrentAiming(int32_t n, const std::function<void()>& conclude);
    // Fires the final conclusion if one is owed.
    void FinalConcludeAiming();
    bool FinalConclusionOwed() const { return finalOwed_; }
    void ForgetFinalConclusion() { finalOwed_ = false; }

    bool recording() const { return aiming_ != nullptr; }
    IAiming* aiming() const { return aiming_.get(); }
    IAimingTrace* trace() const { return trace_.get(); }

private:
    CGenericKavro& model_;
    std::function<void()> afterFlush_;
    ComPtr<IAiming> aiming_;
    ComPtr<IAimingTrace> trace_;
    int32_t pending_ = 0;
    bool finalOwed_ = false;
};

} // namespace kavro
