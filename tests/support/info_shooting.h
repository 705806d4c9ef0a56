#pragma once
// Shooting hand-made aimings into the document wrapper, as a running practice does.
#include "support/chart_fixture.h"
#include "kavro_doc.h"

namespace infotest {

void start(CKavroDoc& doc, const char* eventName = "AR10");
void shoot(CKavroDoc& doc, const std::vector<charttest::AimingSpec>& specs);
// A still aiming: the trace rests on (x, y) (0.01 mm) and the shot is at `time` seconds.
charttest::AimingSpec still(double time, int32_t x = 0, int32_t y = 0, bool missed = false);

// A biathlon practice: two sighting aimings, then four stages of five shots, standing and prone
// in turn (standing first).
std::vector<charttest::AimingSpec> biathlonSpecs();

// A practice of the aimings saved as `path` (a practice of "Anna", air rifle unless told).
void savePractice(const QString& path, const std::vector<charttest::AimingSpec>& specs, const char* eventName = "AR10");

} // namespace infotest
