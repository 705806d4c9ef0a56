#include "document_base.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

struct RecordingView : CView {
    std::vector<int> hints;
    std::function<void()> onHint;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override
    {
        hints.push_back(hint);
        if (onHint)
            onHint();
    }
};

TEST(DocumentBase, BroadcastSkipsTheSenderAndKeepsAttachOrder)
{
    CDocumentBase doc;
    std::vector<int> order;
    RecordingView a, b, c;
    a.onHint = [&] { order.push_back(1); };
    b.onHint = [&] { order.push_back(2); };
    c.onHint = [&] { order.push_back(3); };
    doc.AddView(&c);
    doc.AddView(&a);
    doc.AddView(&b);
    doc.AddView(&a); // twice is once
    doc.UpdateAllViews(&a, 7);
    EXPECT_EQ(order, (std::vector<int>{3, 2}));
    EXPECT_TRUE(a.hints.empty());
}

TEST(DocumentBase, ViewsRemovedOrDestroyedDuringABroadcastAreNotCalled)
{
    CDocumentBase doc;
    RecordingView first, third;
    auto second = std::make_unique<RecordingView>();
    doc.AddView(&first);
    doc.AddView(second.get());
    doc.AddView(&third);
    // The first view destroys the second and removes itself while the hint goes round.
    first.onHint = [&] {
        second.reset();
        doc.RemoveView(&first);
    };
    doc.UpdateAllViews(nullptr, 0);
    EXPECT_EQ(first.hints.size(), 1u);
    EXPECT_EQ(third.hints, std::vector<int>{0});
    EXPECT_EQ(first.document(), nullptr);
    EXPECT_EQ(doc.views(), std::vector<CView*>{&third});
}

TEST(DocumentBase, AViewOutlivingItsDocumentIsDetached)
{
    RecordingView v;
    {
        CDocumentBase doc;
        doc.AddView(&v);
        EXPECT_EQ(v.document(), &doc);
    }
    EXPECT_EQ(v.document(), nullptr);
}

} // namespace
