#pragma once
// Documents and their views: a document keeps the views attached to it, in attach order, and tells
// them what changed through one broadcast with a hint number (see kavro_hints.h).
#include <cstdint>
#include <vector>

class CDocumentBase;

class CView {
public:
    CView() = default;
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;
    virtual ~CView();

    // One hint of the document; `sender` is the view that caused it (null from the frame or the
    // document itself). The meaning of p1, p2 and value depends on the hint.
    virtual void OnUpdate(CView* sender, int hint, void* p1, void* p2, intptr_t value) = 0;

    CDocumentBase* document() const { return m_document; }

private:
    friend class CDocumentBase;
    CDocumentBase* m_document = nullptr;
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
    const std::vector<CView*>& views() const { return m_views; }

    // Calls every attached view but `sender`, in attach order. A view may remove itself or any
    // other view, or destroy it, while being called: removed views are not called afterwards.
    void UpdateAllViews(CView* sender, int hint, void* p1 = nullptr, void* p2 = nullptr, intptr_t value = 0);

private:
    std::vector<CView*> m_views;
};
