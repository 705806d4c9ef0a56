#include "doc_replay.h"

DocumentReplay::State DocumentReplay::current(bool hasSelection)
{
    if (hasSelection && state_ != ReplayStopped && !views_.AskIsReplayRunning(nullptr))
        state_ = ReplayStopped;
    return state_;
}

bool DocumentReplay::start(bool hasSelection)
{
    if (!hasSelection || !views_.AskMayReplayStart(nullptr))
        return false;
    views_.UpdateAllViews(nullptr, KavroHint::ReplayStarts);
    state_ = ReplayPlaying;
    return true;
}

void DocumentReplay::pause()
{
    if (state_ == ReplayStopped || state_ == ReplayPaused)
        return;
    state_ = ReplayPaused;
    views_.UpdateAllViews(nullptr, KavroHint::ReplayPaused, KavroHint::ReplayPausedArgs{true});
}

void DocumentReplay::resume()
{
    if (state_ == ReplayStopped || state_ == ReplayPlaying)
        return;
    state_ = ReplayPlaying;
    views_.UpdateAllViews(nullptr, KavroHint::ReplayPaused, KavroHint::ReplayPausedArgs{false});
}

void DocumentReplay::stop()
{
    views_.UpdateAllViews(nullptr, KavroHint::ReplayStopped);
    state_ = ReplayStopped;
}
