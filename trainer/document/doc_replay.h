#pragma once
// Whether the selected shot's aiming is being replayed. The views play the replay; the document
// keeps what they were told last and asks them before a replay starts and while one may be running.
#include "document_base.h"

class DocumentReplay {
public:
    enum State { ReplayStopped = 0, ReplayPaused = 1, ReplayPlaying = 2 };

    explicit DocumentReplay(CDocumentBase& views) : views_(views) { }

    // A replay that no view still plays has stopped by itself.
    State current(bool hasSelection);
    bool start(bool hasSelection);
    void pause();
    void resume();
    void stop();
    void reset() { state_ = ReplayStopped; }

private:
    CDocumentBase& views_;
    State state_ = ReplayStopped;
};
