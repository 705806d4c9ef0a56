#pragma once
// Practices for the view tests: shots whose trace rests on a known point, so that their breach,
// result and measures are known; a realistic practice for pictures and benchmarks.
#include "kavro_doc.h"

#include <QImage>
#include <QString>

namespace viewtest {

struct ShotSpec {
    bool match = true;
    float x = 0, y = 0; // mm: where the trace rests, and so the breach
    int samples = 150; // before the shot
    int rate = 100; // samples per second
    int after = 50; // samples after the shot
    int at = 0; // seconds after the morning the aiming starts
    bool missed = false;
    bool hidden = false;
    float wobble = 0; // mm: a circling trace of this radius instead of a resting one
    float approachFrom = 0; // mm: when not 0, the first half of the samples come in from this x
    bool trigger = false; // a "_trigger" channel holding 10 × the sample's index
};

// Adds one aiming with one shot through CKavroDoc::AddShot, as a running practice does.
ComPtr<IShot> addShot(CKavroDoc& doc, const ShotSpec& spec);

// A practice of `match` wandering match shots and two sighting shots, shot 40 s apart.
void realPractice(CKavroDoc& doc, int match, const char* event = "AR10");

// The widget as drawn now.
QImage grab(QWidget* w);
// Saves a picture for review into build/screens/.
void saveScreen(QWidget* w, const QString& name);

} // namespace viewtest
