#pragma once
// The collections a practice document derives on demand. Each is made on first use and kept
// until Release, which every change to the document's shots or to the hidden-shot choice calls.
#include "kavrodoc.h"

class CachedCollections {
public:
    void Release();

    // `doc` is the valid document the collections come from; false when it will not give one.
    bool Aimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out);
    // Every shot; hidden ones only with `showHidden`.
    bool Shots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out);
    bool SightingAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out);
    bool MatchAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out);
    bool SightingShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out);
    bool MatchShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out);

private:
    ComPtr<IAimingCollection> aimings_;
    ComPtr<IShotCollection> allShots_;
    ComPtr<IAimingCollection> sightingAimings_;
    ComPtr<IAimingCollection> matchAimings_;
    ComPtr<IShotCollection> sightingShots_;
    ComPtr<IShotCollection> matchShots_;
};
