#pragma once
// Documents and their views: a document keeps the views attached to it, in attach order, and tells
// them what changed through one broadcast with a hint number and its payload (see kavro_hints.h).
#include "kavro_hints.h"

#include <optional>
#include <utility>
#include <vector>

class CDocumentBase;

class CView {
public:
    CView() = default;
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;
    virtual ~CView();

    // One hint of the document; `sender` is the view that caused it (null from the frame or the
    // document itself).
    virtual void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) = 0;

    // The questions among the hints. Each view hears a question as its hint, whatever the views
    // before it answered; a view with something to say overrides the question and returns it.
    virtual bool MayReplayStart(CView* sender); // false refuses
    virtual bool IsReplayRunning(CView* sender); // true while this view replays
    // The device's correction totals once it is shifted by `shift`, from the view that holds the device.
    virtual std::optional<KavroHint::ShiftArgs> ShiftCorrection(CView* sender, const KavroHint::ShiftArgs& shift);

    CDocumentBase* document() const { return document_; }

private:
    friend class CDocumentBase;
    CDocumentBase* document_ = nullptr;
};

class CDocumentBase {
public:
    CDocumentBase() = default;
    CDocumentBase(const CDocumentBase&) = delete;
    CDocumentBase& operator=(const CDocumentBase&) = delete;
    virtual ~CDocumentBase();

    // Attaching a view that belongs to another document moves it here; attaching twice is a no-op.
    void AddView(CView* view);
    // Removes the view and clears its document pointer; safe during a broadcast.
    void RemoveView(CView* view);
    const std::vector<CView*>& views() const { return views_; }

    // Calls every attached view but `sender`, in attach order, with the hint and its payload built
    // from `fields` (a hint's own payload type, or its members in order; none for a hint that
    // carries nothing). A view may remove itself or any other view, or destroy it, while being
    // called: removed views are not called afterwards.
    template <int number, class Args, class... Fields>
    requires KavroHint::PayloadFields<Args, Fields...>
    void UpdateAllViews(CView* sender, KavroHint::Hint<number, Args> hint, Fields&&... fields)
    {
        broadcast(sender, hint, KavroHint::payloadFor(hint, std::forward<Fields>(fields)...));
    }

    // The questions, asked of the views as UpdateAllViews calls them.
    bool AskMayReplayStart(CView* sender); // true unless a view refuses
    bool AskIsReplayRunning(CView* sender); // true when a view replays
    // Views after the one that answered hear its totals; nullopt when no view holds a device.
    std::optional<KavroHint::ShiftArgs> AskShiftCorrection(CView* sender, KavroHint::ShiftArgs shift);

private:
    void broadcast(CView* sender, int hint, const KavroHint::Payload& payload);
    template <class Call> void forEachView(CView* sender, Call&& call);

    std::vector<CView*> views_;
};
