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

void CachedCollections::Release()
{
    aimings_ = nullptr;
    allShots_ = nullptr;
    sightingAimings_ = nullptr;
    matchAimings_ = nullptr;
    sightingShots_ = nullptr;
    matchShots_ = nullptr;
}

bool CachedCollections::Aimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out)
{
    return cachedFrom(doc, aimings_, &IKavroDocument::get_Aimings, out);
}

bool CachedCollections::Shots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    if (!Aimings(doc, &aimings))
        return false;
    if (!allShots_ && FAILED(aimings->Shots(toVariantBool(showHidden), allShots_.put())))
        allShots_ = nullptr;
    *out = allShots_;
    return *out != nullptr;
}

bool CachedCollections::SightingAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    return Aimings(doc, &aimings) && cachedFrom(aimings.get(), sightingAimings_, &IAimingCollection::Sighting, out);
}

bool CachedCollections::MatchAimings(IKavroDocument* doc, ComPtr<IAimingCollection>* out)
{
    ComPtr<IAimingCollection> aimings;
    return Aimings(doc, &aimings) && cachedFrom(aimings.get(), matchAimings_, &IAimingCollection::Match, out);
}

bool CachedCollections::SightingShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out)
{
    ComPtr<IShotCollection> all;
    return Shots(doc, showHidden, &all) && cachedFrom(all.get(), sightingShots_, &IShotCollection::Sighting, out);
}

bool CachedCollections::MatchShots(IKavroDocument* doc, bool showHidden, ComPtr<IShotCollection>* out)
{
    ComPtr<IShotCollection> all;
    return Shots(doc, showHidden, &all) && cachedFrom(all.get(), matchShots_, &IShotCollection::Match, out);
}
