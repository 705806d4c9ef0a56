#include "storage/stream/memory_stream.h"
#include "storage/stream/value_bag.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace kavro;

namespace {

QStringList keys(const ValueBag& bag)
{
    QStringList r;
    for (int i = 0; i < bag.count(); ++i) {
        QString k;
        EXPECT_EQ(bag.keyAt(i, &k), S_OK);
        r << k;
    }
    return r;
}

class ValueBagTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

TEST_F(ValueBagTest, MissingReadsEmptyAndEmptyRemoves)
{
    ValueBag bag;
    Variant v = Variant(5);
    EXPECT_EQ(bag.get("nothing", &v), S_OK);
    EXPECT_TRUE(v.isEmpty());
    bag.put("a", Variant(1));
    bag.put("a", Variant(2));
    EXPECT_EQ(bag.count(), 1);
    bag.get("a", &v);
    EXPECT_EQ(v, Variant(2));
    bag.get("A", &v);
    EXPECT_TRUE(v.isEmpty()); // names are case-sensitive
    bag.put("a", Variant());
    EXPECT_EQ(bag.count(), 0);
    QString k;
    EXPECT_EQ(bag.keyAt(0, &k), E_INVALIDARG);
    EXPECT_EQ(bag.keyAt(-1, &k), E_INVALIDARG);
}

TEST_F(ValueBagTest, LocaleOrderWithOrdinalTieBreak)
{
    ValueBag bag;
    for (const char* k : {"b", "B", "a", "_pulse", "A", "_comments", "a2", "a10"})
        bag.put(k, Variant(1));
    // Case-sensitive locale order puts lower case before upper case of the same letter.
    EXPECT_EQ(keys(bag), (QStringList{"_comments", "_pulse", "a", "A", "a10", "a2", "b", "B"}));
}

TEST_F(ValueBagTest, UnstorableValuesAreRefusedAtPut)
{
    ValueBag bag;
    EXPECT_EQ(bag.put("n", Variant::null()), E_INVALIDARG);
    auto notPersistent = MemoryStream::create();
    EXPECT_EQ(bag.put("o", Variant::fromObject(static_cast<IStream*>(notPersistent.get()))), E_INVALIDARG);
    EXPECT_EQ(bag.count(), 0);
}

TEST_F(ValueBagTest, StoredFormAndRoundTrip)
{
    ValueBag bag;
    bag.put("y", Variant(1.5f));
    bag.put("x", Variant(QStringLiteral("")));
    auto s = MemoryStream::create();
    ASSERT_EQ(bag.write(s.get()), S_OK);
    EXPECT_EQ(s->bytes().toHex(),
              QByteArray::fromHex("02000000"
                                  "04000000 7800 0000"
                                  "0800 02000000 0000"
                                  "04000000 7900 0000"
                                  "0400 0000c03f")
                  .toHex());
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    ValueBag back;
    back.put("stale", Variant(1));
    ASSERT_EQ(back.read(s.get()), S_OK);
    EXPECT_EQ(back, bag);
}

TEST_F(ValueBagTest, CorruptStreamsLeaveTheBagAlone)
{
    ValueBag bag;
    bag.put("keep", Variant(1));
    for (const char* bad :
         {"ffffff7f", "ffffffff", "01000000 04000000 7800 0000", "01000000 04000000 7800 0000 0300 01"}) {
        auto s = MemoryStream::create(QByteArray::fromHex(bad));
        EXPECT_TRUE(FAILED(bag.read(s.get()))) << bad;
        EXPECT_EQ(keys(bag), QStringList{"keep"});
    }
}

} // namespace
