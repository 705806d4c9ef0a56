#include "doc_collections.h"

namespace {

// Hands out `cached`, making it first with `make` from `source`; a failed make keeps nothing.
template <class Source, class Item, class Make>
bool cachedFrom(Source* source, ComPtr<Item>& cached, Make make, ComPtr<Item>* out)
{
    if (!cached && FAILED((source->*make)(cached.put())))
        cached = nullptr;
    *out = cached;
    return *out != nullptr;
}

} // namespace

void CachedCollections::release()
{
    aimings_ = nullptr;
    allShots_ = nullptr;
    sightingAimings_ = nullptr;
    matchAimings_ = nullptr;
    sightingShots_ = nullptr;
    matchShots_ = nullptr;
}

bool CachedCollections::aimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out)
{
    return cachedFrom(doc, aimings_, &IKavroDocument::get_Aimings, out);
}

bool CachedCollections::shots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out)
{
    ComPtr<IAimingCollection> all;
    if (!aimings(doc, &all))
        return false;
    if (!allShots_ && FAILED(all->Shots(toVariantBool(showHidden), allShots_.put())))
        allShots_ = nullptr;
    *out = allShots_;
    return *out != nullptr;
}

bool CachedCollections::sightingAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out)
{
    ComPtr<IAimingCollection> all;
    return aimings(doc, &all) && cachedFrom(all.get(), sightingAimings_, &IAimingCollection::Sighting, out);
}

bool CachedCollections::matchAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out)
{
    ComPtr<IAimingCollection> all;
    return aimings(doc, &all) && cachedFrom(all.get(), matchAimings_, &IAimingCollection::Match, out);
}

bool CachedCollections::sightingShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out)
{
    ComPtr<IShotCollection> all;
    return shots(doc, showHidden, &all) && cachedFrom(all.get(), sightingShots_, &IShotCollection::Sighting, out);
}

bool CachedCollections::matchShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out)
{
    ComPtr<IShotCollection> all;
    return shots(doc, showHidden, &all) && cachedFrom(all.get(), matchShots_, &IShotCollection::Match, out);
}
