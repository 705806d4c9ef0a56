#include "kavrodoc.h" // first: the header must compile on its own

#include "com/connection.h"
#include "com/enumvariant.h"
#include "com/persist.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct NamedId {
    const char* name;
    Guid id;
};

std::vector<NamedId> documentModuleIids()
{
    return {
        {"IKavroDocument", IKavroDocument::iid},
        {"_IKavroDocumentEvents", _IKavroDocumentEvents::iid},
        {"IAimingCollection", IAimingCollection::iid},
        {"_IAimingCollectionEvents", _IAimingCollectionEvents::iid},
        {"IAiming", IAiming::iid},
        {"IAimingTrace", IAimingTrace::iid},
        {"IAimingAttr", IAimingAttr::iid},
        {"IShot", IShot::iid},
        {"IShotCollection", IShotCollection::iid},
        {"IRange", IRange::iid},
        {"IRangeCollection", IRangeCollection::iid},
        {"ITargetParams", ITargetParams::iid},
        {"ITargetElement", ITargetElement::iid},
        {"IEventParams", IEventParams::iid},
        {"IEventManager", IEventManager::iid},
    };
}

std::vector<NamedId> allIds()
{
    std::vector<NamedId> ids = documentModuleIids();
    for (const auto& c : kavrodoc::kClasses)
        ids.push_back({c.progId, *c.clsid});
    // The platform's own identifiers must not collide with ours either.
    ids.push_back({"IUnknown", IUnknown::iid});
    ids.push_back({"IStream", IStream::iid});
    ids.push_back({"IPersist", IPersist::iid});
    ids.push_back({"IPersistStream", IPersistStream::iid});
    ids.push_back({"IPersistStreamInit", IPersistStreamInit::iid});
    ids.push_back({"IClassFactory", IClassFactory::iid});
    ids.push_back({"ISupportErrorInfo", ISupportErrorInfo::iid});
    ids.push_back({"IConnectionPoint", IConnectionPoint::iid});
    ids.push_back({"IConnectionPointContainer", IConnectionPointContainer::iid});
    ids.push_back({"IEnumVARIANT", IEnumVARIANT::iid});
    return ids;
}

TEST(DocumentModuleIds, AreNonNullAndDistinct)
{
    const auto ids = allIds();
    ASSERT_EQ(ids.size(), 15u + 13u + 10u);
    std::set<std::string> seen;
    for (const auto& n : ids) {
        EXPECT_FALSE(n.id.isNull()) << n.name;
        EXPECT_TRUE(seen.insert(n.id.toString()).second) << n.name << " repeats " << n.id.toString();
    }
}

TEST(DocumentModuleIds, TextRoundTrips)
{
    for (const auto& n : allIds()) {
        const std::string text = n.id.toString();
        ASSERT_EQ(text.size(), 38u) << n.name;
        EXPECT_EQ(Guid::parse(text), n.id) << n.name;
        EXPECT_EQ(Guid::parse(text.substr(1, 36)), n.id) << n.name;
        auto back = Guid::fromString(text);
        ASSERT_TRUE(back.has_value()) << n.name;
        EXPECT_EQ(*back, n.id) << n.name;
        uint8_t bytes[16];
        n.id.toBytes(bytes);
        EXPECT_EQ(Guid::fromBytes(bytes), n.id) << n.name;
    }
}

TEST(DocumentModuleIds, ProgIdsFollowOnePattern)
{
    ASSERT_EQ(std::size(kavrodoc::kClasses), 13u);
    std::set<std::string> seen;
    for (const auto& c : kavrodoc::kClasses) {
        const std::string vi = c.versionIndependentProgId;
        EXPECT_EQ(vi.rfind("KavroDoc.", 0), 0u) << vi;
        EXPECT_EQ(std::string(c.progId), vi + ".1");
        EXPECT_TRUE(seen.insert(vi).second) << vi;
    }
    EXPECT_STREQ(kavrodoc::ProgId_KavroDocument, "KavroDoc.KavroDocument.1");
    EXPECT_STREQ(kavrodoc::ProgIdVI_KavroDocument, "KavroDoc.KavroDocument");
}

} // namespace
