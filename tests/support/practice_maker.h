#pragma once
// Saved practices for the catalog tests, made through the document model.
#include "kavrodoc.h"

#include <QByteArray>
#include <QString>

namespace cattest {

struct PracticeSpec {
    const char* event = "AR10"; // short name of a bundled event
    QString shooter; // empty: saved without a shooter name
    int matchShots = 3;
    int sightingShots = 1;
    QString comments;
    QString position;
    double enterTime = 45123.375; // the first aiming's enter time
};

PracticeSpec practice(const char* event, const QString& shooter, int matchShots = 3, int sightingShots = 1);

// The practice in memory.
ComPtr<IKavroDocument> makePractice(const PracticeSpec& spec);
// Saves it to `path`; false on failure.
bool savePractice(const PracticeSpec& spec, const QString& path);

// The results a reader of the document model sees, for comparing with the cache.
struct PracticeSums {
    int32_t shots = 0;
    int32_t truncatedSum = 0;
    float decimalSum = 0;
};
PracticeSums matchSums(IKavroDocument* doc);

// The first `bytes` of a file (a document cut short).
QByteArray fileHead(const QString& path, int bytes);

} // namespace cattest
