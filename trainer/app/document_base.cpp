#include "document_base.h"

#include <algorithm>

CView::~CView()
{
    if (m_document)
        m_document->RemoveView(this);
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

void CDocumentBase::UpdateAllViews(CView* sender, int hint, void* p1, void* p2, intptr_t value)
{
    // Walk a snapshot, and ask the live list before each call: a view removed (or destroyed,
    // which removes it) by an earlier view is never touched.
    const std::vector<CView*> snapshot = m_views;
    for (CView* v : snapshot) {
        if (v == sender)
            continue;
        if (std::find(m_views.begin(), m_views.end(), v) == m_views.end())
            continue;
        v->OnUpdate(sender, hint, p1, p2, value);
    }
}
