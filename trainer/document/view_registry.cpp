#include "view_registry.h"

#include <algorithm>

namespace {
std::vector<ViewRegistration>& table()
{
    static std::vector<ViewRegistration> views;
    return views;
}
} // namespace

bool registerView(ViewId id, int commandId, ViewFactory create)
{
    unregisterView(id);
    table().push_back({id, commandId, std::move(create)});
    std::sort(table().begin(), table().end(),
              [](const ViewRegistration& a, const ViewRegistration& b) { return a.id < b.id; });
    return true;
}

void unregisterView(ViewId id)
{
    std::erase_if(table(), [id](const ViewRegistration& r) { return r.id == id; });
}

const ViewRegistration* findView(ViewId id)
{
    for (const ViewRegistration& r : table())
        if (r.id == id)
            return &r;
    return nullptr;
}

const std::vector<ViewRegistration>& registeredViews()
{
    return table();
}

namespace {
std::unique_ptr<CFramePrinting>& printingSlot()
{
    static std::unique_ptr<CFramePrinting> printing;
    return printing;
}
} // namespace

bool registerReportPrinting(std::unique_ptr<CFramePrinting> printing)
{
    printingSlot() = std::move(printing);
    return true;
}

CFramePrinting* reportPrinting()
{
    return printingSlot().get();
}
