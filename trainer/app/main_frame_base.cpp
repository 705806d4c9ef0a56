#include "main_frame_base.h"

namespace {
CMainFrameBase* g_current = nullptr;
}

CMainFrameBase* CMainFrameBase::current()
{
    return g_current;
}

void CMainFrameBase::setCurrent(CMainFrameBase* frame)
{
    g_current = frame;
}
