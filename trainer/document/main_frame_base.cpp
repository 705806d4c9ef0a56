#include "main_frame_base.h"

#include "document_base.h"

#include <QProgressBar>

#include <algorithm>

namespace {
CMainFrameBase* g_current = nullptr;
}

void CMainFrameBase::OnCommand(int)
{
}

bool CMainFrameBase::EndWithoutQuestions()
{
    return true;
}

void CMainFrameBase::ShowProgress(int done, int total)
{
    if (QProgressBar* bar = GetProgressBar()) {
        total = std::max(total, 0);
        bar->setRange(0, total);
        bar->setValue(std::clamp(done, 0, total));
    }
}

CMainFrameBase* CMainFrameBase::of(const CDocumentBase& doc)
{
    for (CView* view : doc.views())
        if (auto* frame = dynamic_cast<CMainFrameBase*>(view))
            return frame;
    return current();
}

CMainFrameBase* CMainFrameBase::current()
{
    return g_current;
}

void CMainFrameBase::setCurrent(CMainFrameBase* frame)
{
    g_current = frame;
}
