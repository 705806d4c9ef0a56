#pragma once
// The picture of a target face: form, clip, elements, face picture, black, rings, inner ten and
// ring numbers, recorded as a metafile in units of 1/s millimetre around the target centre.
#include "kavrodoc.h"
#include "gdi/picture.h"

#include <array>

namespace kavrodoc {

// Metafile units per millimetre: as fine as the form's size leaves room for.
int32_t faceScale(float formWidth, float formHeight);

// Draws the face onto any canvas, in the units faceScale gives for the target's form.
void drawTargetFace(ITargetParams* target, bool background, bool scoreRings, kavro::GdiCanvas* canvas);

// Records the face as a picture. Text needs fonts, so this needs the GUI application: without one
// it returns E_UNEXPECTED.
HRESULT buildTargetFace(ITargetParams* target, bool background, bool scoreRings, ComPtr<kavro::Picture>* out);

// The last face built for each combination of background and score rings, with the sub-target it
// shows. Not thread-safe: its owner locks.
class TargetFaceCache {
public:
    // The cached picture for the request, or null.
    ComPtr<kavro::Picture> find(int32_t subTarget, bool background, bool scoreRings) const;
    void store(int32_t subTarget, bool background, bool scoreRings, ComPtr<kavro::Picture> picture);
    void clear();

private:
    struct Slot {
        int32_t subTarget = 0;
        ComPtr<kavro::Picture> picture;
    };
    static size_t slotOf(bool background, bool scoreRings) { return (background ? 2u : 0u) + (scoreRings ? 1u : 0u); }
    std::array<Slot, 4> slots_;
};

} // namespace kavrodoc
