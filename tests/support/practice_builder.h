#pragma once
// Practices built shot by shot through CKavroDoc, as a running practice adds them.
#include "kavro_doc.h"

#include <QTemporaryDir>

namespace trainertest {

// Points settings and events at a fresh temporary folder and the bin folder for this process.
class TestEnvironment {
public:
    TestEnvironment();
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

ComPtr<IEventParams> event(const char* shortName);

// A new document of the event in `doc`, with no shots yet.
void startPractice(CKavroDoc& doc, const char* eventShortName);

// Adds an aiming of `shots` shots to the practice through CKavroDoc::AddShot; shot times are one
// second apart from `firstTime` (seconds after a fixed morning) unless `sameTime` is set.
ComPtr<IAiming> addAiming(CKavroDoc& doc, bool match, int shots, int firstTime, bool sameTime = false);

// The shot at 1-based `index` of the list Navigate walks.
ComPtr<IShot> listShot(CKavroDoc& doc, int index);
int listIndex(CKavroDoc& doc, IShot* shot);

} // namespace trainertest
