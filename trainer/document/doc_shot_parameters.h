#pragma once
// The shot-display parameters of a practice and how they set each shot's breach and offsets:
// the coefficient, the trace shown before the shot, the second control interval, the breach taken
// at a time offset, the simulated dispersion and the centring of every group.
#include "kavrodoc.h"

class ShotParameters {
public:
    ShotParameters() { reset(); }
    // The second control interval comes back from the settings; everything else is off.
    void reset();

    int fCoefficient() const { return fCoefficient_; }
    void setFCoefficient(int fCoefficient) { fCoefficient_ = fCoefficient; }
    float traceSeconds() const { return traceSeconds_; }
    int controlInterval2() const { return controlInterval2_; }
    float shotTimeOffset() const { return shotTimeOffset_; }
    float dispersion() const { return dispersion_; }
    bool centreGroups() const { return centreGroups_; }

    // False when all six equal the current values. A value outside its range is ignored and the
    // others are taken; a taken second control interval is kept in the settings.
    bool set(int fCoefficient, float traceSeconds, int controlInterval2, float shotTimeOffset, float dispersion,
             bool centreGroups);

    // Every non-missed shot of the collection, the group centred when asked.
    void applyTo(IShotCollection* shots) const;
    // A new non-missed shot, before its group is centred: its coefficient was set when its aiming
    // started, so only a time offset redoes the breach; it draws one dispersion offset.
    void applyToNew(IShot* shot) const;
    // Moves the non-missed shots so that their mean breach lies at the target centre.
    static void centreGroup(IShotCollection* shots);

private:
    int fCoefficient_ = 0;
    float traceSeconds_ = 1.0f;
    int controlInterval2_ = 2;
    float shotTimeOffset_ = 0;
    float dispersion_ = 0;
    bool centreGroups_ = false;
};
