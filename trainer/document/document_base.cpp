#include "document_base.h"

#include <algorithm>

CView::~CView()
{
    if (document_)
        document_->RemoveView(this);
}

bool CView::MayReplayStart(CView* sender)
{
    OnDocumentUpdate(sender, KavroHint::MayReplayStart, {});
    return true;
}

bool CView::IsReplayRunning(CView* sender)
{
    OnDocumentUpdate(sender, KavroHint::IsReplayRunning, {});
    return false;
}

std::optional<KavroHint::ShiftArgs> CView::ShiftCorrection(CView* sender, const KavroHint::ShiftArgs& shift)
{
    OnDocumentUpdate(sender, KavroHint::ShiftCorrection, KavroHint::payloadFor(KavroHint::ShiftCorrection, shift));
    return std::nullopt;
}

CDocumentBase::~CDocumentBase()
{
    for (CView* v : views_)
        v->document_ = nullptr;
}

void CDocumentBase::AddView(CView* view)
{
    if (!view || view->document_ == this)
        return;
    if (view->document_)
        view->document_->RemoveView(view);
    views_.push_back(view);
    view->document_ = this;
}

void CDocumentBase::RemoveView(CView* view)
{
    auto it = std::find(views_.begin(), views_.end(), view);
    if (it == views_.end())
        return;
    views_.erase(it);
    view->document_ = nullptr;
}

template <class Call> void CDocumentBase::forEachView(CView* sender, Call&& call)
{
    // Walk a snapshot, and ask the live list before each call: a view removed (or destroyed,
    // which removes it) by an earlier view is never touched.
    const std::vector<CView*> snapshot = views_;
    for (CView* v : snapshot) {
        if (v == sender)
            continue;
        if (std::find(views_.begin(), views_.end(), v) == views_.end())
            continue;
        call(v);
    }
}

void CDocumentBase::broadcast(CView* sender, int hint, const KavroHint::Payload& payload)
{
    forEachView(sender, [&](CView* v) { v->OnDocumentUpdate(sender, hint, payload); });
}

bool CDocumentBase::AskMayReplayStart(CView* sender)
{
    bool may = true;
    forEachView(sender, [&](CView* v) { may = v->MayReplayStart(sender) && may; });
    return may;
}

bool CDocumentBase::AskIsReplayRunning(CView* sender)
{
    bool running = false;
    forEachView(sender, [&](CView* v) { running = v->IsReplayRunning(sender) || running; });
    return running;
}

std::optional<KavroHint::ShiftArgs> CDocumentBase::AskShiftCorrection(CView* sender, KavroHint::ShiftArgs shift)
{
    std::optional<KavroHint::ShiftArgs> totals;
    forEachView(sender, [&](CView* v) {
        if (auto answer = v->ShiftCorrection(sender, shift)) {
            totals = answer;
            shift = *answer;
        }
    });
    return totals;
}
