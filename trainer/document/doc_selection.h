#pragma once
// The selected shot, and whether the shot lists and the steps through them take the sighting
// shots in.
#include "shot_navigation.h"

class ShotSelection {
public:
    IShot* shot() const { return shot_.get(); }
    // False when `shot` is the selection already.
    bool select(IShot* shot);
    void clear() { shot_ = nullptr; }

    bool includeSightings() const { return includeSightings_; }
    // False when it is so already.
    bool setIncludeSightings(bool include);

    // A selected shot about to be hidden gives the selection to the next shot of `steps`, else to
    // the previous one, else to none.
    void leaveForNeighbour(const ShotSteps& steps);
    // The sighting shots are about to go: a selected one goes with them.
    void dropSightingShot();

private:
    ComPtr<IShot> shot_;
    bool includeSightings_ = false;
};
