#pragma once
// The heart pulse samples a practice keeps as document values: "_pulse_fi" and "_pulse_li" bound
// the indices, "_pulse_s%i" holds a pulse and "_pulse_t%i" its time.
#include "kavrodoc.h"

#include <vector>

struct PulseSample {
    DATE time = 0;
    int pulse = 0;
};

// Appends a sample unless the last one has the same pulse.
void appendPulseSample(IKavroDocument* doc, DATE time, int pulse);
// Sample i counted from the first; false when out of range or not stored as a pulse and a time.
bool readPulseSample(IKavroDocument* doc, int i, DATE* time, int* pulse);
// Every sample that reads back, oldest first.
std::vector<PulseSample> readPulseSamples(IKavroDocument* doc);
// The pulse at a moment: the first sample later than it, else the last; 0 without samples.
int pulseAt(const std::vector<PulseSample>& samples, DATE moment);
