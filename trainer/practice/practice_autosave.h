#pragma once
// The automatic save of a running practice: after every so many match shots, once their aiming
// is over, as the options ask.
class CKavroDoc;

class PracticeAutosave {
public:
    explicit PracticeAutosave(CKavroDoc& doc) : doc_(doc) { }

    void matchShotAdded() { ++matchShotsSinceSave_; }
    // The aiming is over for good: the document is saved when a save is due, whatever its outcome
    // the count starts again.
    void aimingFinal();
    void reset() { matchShotsSinceSave_ = 0; }
    int matchShotsSinceSave() const { return matchShotsSinceSave_; }

private:
    CKavroDoc& doc_;
    int matchShotsSinceSave_ = 0;
};
