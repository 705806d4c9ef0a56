#include "doc_replay.h"

DocumentReplay::State DocumentReplay::Current(bool hasSelection)
{
    if (hasSelection && state_ != ReplayStopped && !views_.AskIsReplayRunning(nullptr))
        state_ = ReplayStopped;
    return state_;
}

bool DocumentReplay::Start(bool hasSelection)
{
    if (!hasSelection || !views_.AskMayReplayStart(nullptr))
        return false;
    views_.UpdateAllViews(nullptr, KavroHint::ReplayStarts);
    state_ = ReplayPlaying;
    return true;
}

void DocumentReplay::Pause()
{
    if (state_ == ReplayStopped || state_ == ReplayPaused)
        return;
    state_ = ReplayPaused;
    views_.UpdateAllViews(nullptr, KavroHint::ReplayPaused, KavroHint::ReplayPausedArgs{true});
}

void DocumentReplay::Resume()
{
    if (state_ == ReplayStopped || state_ == ReplayPlaying)
        return;
    state_ = ReplayPlaying;
    views_.UpdateAllViews(nullptr, KavroHint::ReplayPaused, KavroHint::ReplayPausedArgs{false});
}

void DocumentReplay::Stop()
{
    views_.UpdateAllViews(nullptr, KavroHint::ReplayStopped);
    state_ = ReplayStopped;
}
