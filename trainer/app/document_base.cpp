#include "document_base.h"

#include <algorithm>

CView::~CView()
{
    if (m_document)
        m_document->RemoveView(this);
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
    OnDocumentUpdate(sender, KavroHint::ShiftCorrection, shift);
    return std::nullopt;
}

CDocumentBase::~CDocumentBase()
{
    for (CView* v : m_views)
        v->m_document = nullptr;
}

void CDocumentBase::AddView(CView* view)
{
    if (!view || view->m_document == this)
        return;
    if (view->m_document)
        view->m_document->RemoveView(view);
    m_views.push_back(view);
    view->m_document = this;
}

void CDocumentBase::RemoveView(CView* view)
{
    auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end())
        return;
    m_views.erase(it);
    view->m_document = nullptr;
}

template <class Call> void CDocumentBase::forEachView(CView* sender, Call&& call)
{
    // Walk a snapshot, and ask the live list before each call: a view removed (or destroyed,
    // which removes it) by an earlier view is never touched.
    const std::vector<CView*> snapshot = m_views;
    for (CView* v : snapshot) {
        if (v == sender)
            continue;
        if (std::find(m_views.begin(), m_views.end(), v) == m_views.end())
            continue;
        call(v);
    }
}

void CDocumentBase::UpdateAllViews(CView* sender, int hint, const KavroHint::Payload& payload)
{
    forEachView(sender, [&](CView* v) { v->OnDocumentUpdate(sender, hint, payload); });
}

void CDocumentBase::UpdateAllViews(CView* sender, int hint, IAiming* aiming, IShot* shot, bool othersMoved)
{
    if (hint == KavroHint::ShotAdded)
        UpdateAllViews(sender, hint, KavroHint::ShotAddedArgs{aiming, shot, othersMoved});
    else
        UpdateAllViews(sender, hint, KavroHint::AimingArgs{aiming});
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
