#include "document_base.h"

#include "doc_helpers.h"
#include "support/practice_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

struct RecordingView : CView {
    std::vector<int> hints;
    KavroHint::Payload payload;
    std::function<void()> onHint;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload& sent) override
    {
        hints.push_back(hint);
        payload = sent;
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
    doc.UpdateAllViews(&a, KavroHint::Comments);
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
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    EXPECT_EQ(first.hints.size(), 1u);
    EXPECT_EQ(third.hints, std::vector<int>{0});
    EXPECT_EQ(first.document(), nullptr);
    EXPECT_EQ(doc.views(), std::vector<CView*>{&third});
}

// Answers the questions as told; every question is still heard as its hint.
struct AnsweringView : RecordingView {
    bool refuse = false;
    bool replaying = false;
    std::optional<KavroHint::ShiftArgs> totals;
    std::vector<std::pair<float, float>> shiftsHeard;
    bool MayReplayStart(CView* sender) override { return RecordingView::MayReplayStart(sender) && !refuse; }
    bool IsReplayRunning(CView* sender) override { return RecordingView::IsReplayRunning(sender) || replaying; }
    std::optional<KavroHint::ShiftArgs> ShiftCorrection(CView* sender, const KavroHint::ShiftArgs& shift) override
    {
        shiftsHeard.emplace_back(shift.dx, shift.dy);
        RecordingView::ShiftCorrection(sender, shift);
        return totals;
    }
};

TEST(DocumentBase, QuestionsReachEveryViewButTheSenderAndTheAnswersComeBack)
{
    using Shift = KavroHint::ShiftArgs;
    struct Row {
        int answering; // -1 none, else the view that refuses, replays and gives totals
        bool may;
        bool running;
        std::optional<std::pair<float, float>> totals;
        std::pair<float, float> secondHeard;
    };
    const Row rows[] = {
        {-1, true, false, std::nullopt, {1, 2}},
        {0, false, true, std::pair<float, float>{5, 6}, {5, 6}}, // later views hear the totals
        {1, false, true, std::pair<float, float>{5, 6}, {1, 2}},
    };
    for (const Row& row : rows) {
        CDocumentBase doc;
        AnsweringView sender, views[2];
        doc.AddView(&views[0]);
        doc.AddView(&sender);
        doc.AddView(&views[1]);
        if (row.answering >= 0) {
            views[row.answering].refuse = views[row.answering].replaying = true;
            views[row.answering].totals = Shift{5, 6};
        }
        EXPECT_EQ(doc.AskMayReplayStart(&sender), row.may) << row.answering;
        EXPECT_EQ(doc.AskIsReplayRunning(&sender), row.running) << row.answering;
        const std::optional<Shift> totals = doc.AskShiftCorrection(&sender, Shift{1, 2});
        EXPECT_EQ(totals ? std::optional(std::pair(totals->dx, totals->dy)) : std::nullopt, row.totals)
            << row.answering;
        ASSERT_EQ(views[1].shiftsHeard.size(), 1u);
        EXPECT_EQ(views[1].shiftsHeard[0], row.secondHeard) << row.answering;
        const std::vector<int> asked{KavroHint::MayReplayStart, KavroHint::IsReplayRunning, KavroHint::ShiftCorrection};
        EXPECT_EQ(views[0].hints, asked);
        EXPECT_EQ(views[1].hints, asked);
        EXPECT_TRUE(sender.hints.empty());
    }
}

// A hint goes out only with its own payload, and only a hint that carries one is read as one.
template <auto hint, class... Fields>
concept Sendable = requires(CDocumentBase& doc, Fields&&... fields)
{
    doc.UpdateAllViews(nullptr, hint, std::forward<Fields>(fields)...);
};
template <auto hint>
concept Readable = requires(const KavroHint::Payload& payload)
{
    KavroHint::payloadOf<hint>(payload);
};
static_assert(Sendable<KavroHint::ShotAdded, IAiming*, IShot*, bool>);
static_assert(Sendable<KavroHint::HeartBeat, KavroHint::HeartBeatArgs> && Sendable<KavroHint::Saved>);
static_assert(!Sendable<KavroHint::ShotAdded, KavroHint::AimingArgs>);
static_assert(!Sendable<KavroHint::HeartBeat, KavroHint::TriggerArgs>);
static_assert(!Sendable<KavroHint::Everything, IAiming*> && !Sendable<KavroHint::AimingStarted>);
static_assert(Readable<KavroHint::TriggerValues> && !Readable<KavroHint::Saved>);

auto fieldsOf(const KavroHint::AimingArgs& a)
{
    return std::tuple(a.aiming);
}
auto fieldsOf(const KavroHint::ShotAddedArgs& a)
{
    return std::tuple(a.aiming, a.shot, a.othersMoved);
}
auto fieldsOf(const KavroHint::ReplayPausedArgs& a)
{
    return std::tuple(a.paused);
}
auto fieldsOf(const KavroHint::ShiftArgs& a)
{
    return std::tuple(a.dx, a.dy);
}
auto fieldsOf(const KavroHint::TriggerArgs& a)
{
    return std::tuple(a.values, a.count);
}
auto fieldsOf(const KavroHint::SubTargetArgs& a)
{
    return std::tuple(a.subTarget);
}
auto fieldsOf(const KavroHint::HeartBeatArgs& a)
{
    return std::tuple(a.dateMin, a.dateMax);
}

// Broadcasts `hint` with `fields`; the view reads through the hint exactly what was sent.
template <auto hint, class... Fields> void expectReadAsSent(CDocumentBase& doc, RecordingView& view, Fields... fields)
{
    doc.UpdateAllViews(nullptr, hint, fields...);
    ASSERT_EQ(view.hints.back(), int(hint));
    const auto* read = KavroHint::payloadOf<hint>(view.payload);
    ASSERT_NE(read, nullptr) << int(hint);
    EXPECT_EQ(fieldsOf(*read), fieldsOf(KavroHint::ArgsOf<hint>{fields...})) << int(hint);
}

TEST(DocumentBase, AViewReadsEveryHintsPayloadThroughTheHint)
{
    trainertest::TestEnvironment env;
    CKavroDoc doc;
    trainertest::startPractice(doc, "AR10");
    const ComPtr<IAiming> aiming = trainertest::addAiming(doc, true, 1, 0);
    ComPtr<IShotCollection> shots;
    ASSERT_TRUE(doc.GetShots(&shots));
    const ComPtr<IShot> shot = shotAt(shots.get(), 1);
    const int32_t trigger[] = {7, 9};
    RecordingView view;
    doc.AddView(&view);

    expectReadAsSent<KavroHint::AimingStarted>(doc, view, aiming.get());
    expectReadAsSent<KavroHint::TraceCoordinates>(doc, view, aiming.get());
    expectReadAsSent<KavroHint::ShotAdded>(doc, view, aiming.get(), shot.get(), true);
    EXPECT_EQ(KavroHint::payloadOf<KavroHint::AimingStarted>(view.payload), nullptr);
    expectReadAsSent<KavroHint::AimingConcluded>(doc, view, aiming.get());
    expectReadAsSent<KavroHint::ReplayPaused>(doc, view, true);
    expectReadAsSent<KavroHint::ShiftCorrection>(doc, view, 1.5f, -2.0f);
    expectReadAsSent<KavroHint::TriggerValues>(doc, view, trigger, 2);
    expectReadAsSent<KavroHint::BiathlonSubTarget>(doc, view, BiathlonTarget::Prone);
    expectReadAsSent<KavroHint::HeartBeat>(doc, view, DATE(46000.5), DATE(46000.75));
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
