// Objects made together in one block: each keeps its own lifetime, whatever order its holders let
// go in, and a loaded aiming's parts outlive the aiming and each other. Run under the address
// sanitizer these also catch a block freed too early.
#include "aiming.h"
#include "aiming_collection.h"
#include "fake_events.h"
#include "object_block.h"
#include "storage/stream/memory_stream.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kavrodoc;

namespace {

struct IPart : IUnknown {
    static constexpr Guid iid = Guid::parse("6B0F3E55-1C2D-4F6A-9E1B-2A7C5D8E9F01");
};

class Part final : public ComObject<Part, IPart>, public InObjectBlock<Part> {
public:
    Part(int id, std::vector<int>* gone) : id_(id), gone_(gone) { }
    ~Part() override { gone_->push_back(id_); }
    bool inBlock() const { return madeIn() != nullptr; }

private:
    int id_;
    std::vector<int>* gone_;
};

} // namespace

TEST(ObjectBlock, EachObjectLivesAsLongAsItsHoldersInAnyOrder)
{
    for (int makerLast = 0; makerLast < 2; ++makerLast) {
        std::vector<int> gone;
        auto block = ObjectBlock::create(ObjectBlock::roomFor<Part, Part>());
        ASSERT_TRUE(block);
        auto a = ObjectBlock::make<Part>(block.get(), 1, &gone);
        auto b = ObjectBlock::make<Part>(block.get(), 2, &gone);
        // No room for a third: it is made on its own.
        auto c = ObjectBlock::make<Part>(block.get(), 3, &gone);
        EXPECT_TRUE(a->inBlock());
        EXPECT_TRUE(b->inBlock());
        EXPECT_FALSE(c->inBlock());
        ComPtr<IPart> other = b.query<IPart>();
        b = nullptr;
        EXPECT_TRUE(gone.empty());
        if (!makerLast)
            block.reset();
        a = nullptr;
        c = nullptr;
        EXPECT_EQ(gone, (std::vector<int>{1, 3}));
        other = nullptr;
        EXPECT_EQ(gone, (std::vector<int>{1, 3, 2}));
        block.reset();
        // Once the maker has let go, nothing more is made in the block.
    }
    std::vector<int> gone;
    auto block = ObjectBlock::create(ObjectBlock::roomFor<Part, Part>());
    auto a = ObjectBlock::make<Part>(block.get(), 1, &gone);
    ObjectBlock* raw = block.get();
    block.reset();
    auto late = ObjectBlock::make<Part>(raw, 2, &gone);
    EXPECT_FALSE(late->inBlock());
    EXPECT_TRUE(ObjectBlock::make<Part>(nullptr, 3, &gone));
    EXPECT_EQ(gone, (std::vector<int>{3}));
}

// A collection makes each aiming it loads, with its attributes, trace and shot, in one block.
TEST(ObjectBlock, PartsOfALoadedAimingOutliveItAndEachOther)
{
    ComPtr<fake::Event> event = fake::Event::create();
    fake::Installed installed{{ComPtr<IEventParams>(event.get())}};
    auto saved = CAimingCollection::create();
    for (int i = 0; i < 2; ++i) {
        auto aiming = CAiming::create();
        ComPtr<IAimingAttr> attr = aiming->attr();
        ComPtr<IAimingTrace> trace = aiming->trace();
        ASSERT_EQ(attr->put_SampleRate(100), S_OK);
        ASSERT_EQ(attr->put_Event(event.get()), S_OK);
        for (int s = 0; s < 50; ++s)
            trace->_Add(s * 10, -s);
        // Two shots: the second has no room in the block, and the list of shots is on the heap.
        ComPtr<IShot> shot, second;
        ASSERT_EQ(aiming->AddShot(VARIANT_FALSE, shot.put()), S_OK);
        ASSERT_EQ(aiming->AddShot(VARIANT_TRUE, second.put()), S_OK);
        trace->put_ReadOnly(VARIANT_TRUE);
        ASSERT_EQ(saved->Add(aiming.get()), S_OK);
    }
    auto stream = kavro::MemoryStream::create();
    ASSERT_EQ(saved->Save(stream.get(), BOOL(1)), S_OK);

    for (int order = 0; order < 3; ++order) {
        auto loaded = CAimingCollection::create();
        stream->Seek(0, STREAM_SEEK_SET, nullptr);
        ASSERT_EQ(loaded->Load(stream.get()), S_OK);
        ComPtr<IAiming> aiming;
        ASSERT_EQ(loaded->get_Item(1, aiming.put()), S_OK);
        ComPtr<IShot> shot;
        ComPtr<IAimingTrace> trace;
        ComPtr<IAimingAttr> attr;
        ASSERT_EQ(aiming->Shot(1, shot.put()), S_OK);
        ASSERT_EQ(aiming->get_Trace(trace.put()), S_OK);
        ASSERT_EQ(aiming->get_Attr(attr.put()), S_OK);
        if (order == 2) {
            // Loading the held aiming again gives it new parts; the old ones stay usable.
            stream->Seek(0, STREAM_SEEK_SET, nullptr);
            auto again = CAimingCollection::create();
            ASSERT_EQ(again->Load(stream.get()), S_OK);
            ComPtr<IAiming> source;
            again->get_Item(2, source.put());
            auto copy = kavro::MemoryStream::create();
            ASSERT_EQ(source.query<IPersistStreamInit>()->Save(copy.get(), BOOL(0)), S_OK);
            copy->Seek(0, STREAM_SEEK_SET, nullptr);
            ASSERT_EQ(aiming.query<IPersistStreamInit>()->Load(copy.get()), S_OK);
        }
        loaded = nullptr;
        aiming = nullptr;
        int32_t index = 0, count = 0, rate = 0;
        if (order == 0) {
            EXPECT_EQ(trace->get_Count(&count), S_OK);
            trace = nullptr;
            EXPECT_EQ(shot->get_TraceIndex(&index), S_OK);
            EXPECT_EQ(attr->get_SampleRate(&rate), S_OK);
        } else {
            EXPECT_EQ(attr->get_SampleRate(&rate), S_OK);
            attr = nullptr;
            EXPECT_EQ(shot->get_TraceIndex(&index), S_OK);
            shot = nullptr;
            EXPECT_EQ(trace->get_Count(&count), S_OK);
        }
        EXPECT_EQ(count, 50);
        EXPECT_EQ(index, 49);
        EXPECT_EQ(rate, 100);
    }
}
