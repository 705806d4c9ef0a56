#pragma once
// The collections a practice document derives on demand. Each is made on first use and kept
// until Release, which every change to the document's shots or to the hidden-shot choice calls.
#include "kavrodoc.h"

class CachedCollections {
public:
    void release();

    // `doc` is the valid document the collections come from; false when it will not give one.
    bool aimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out);
    // Every shot; hidden ones only with `showHidden`.
    bool shots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out);
    bool sightingAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out);
    bool matchAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out);
    bool sightingShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out);
    bool matchShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out);

private:
    ComPtr<IAimingCollection> aimings_;
    ComPtr<IShotCollection> allShots_;
    ComPtr<IAimingCollection> sightingAimings_;
    ComPtr<IAimingCollection> matchAimings_;
    ComPtr<IShotCollection> sightingShots_;
    ComPtr<IShotCollection> matchShots_;
};
