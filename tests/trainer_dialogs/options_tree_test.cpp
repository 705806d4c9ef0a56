// The options tree: item templates, the settings tree over the options record, marks and the
// greying below them, editing values, and the additional intervals.
#include "options_tree_model.h"

#include "com/olecolor.h"
#include "string_module.h"

#include <QMimeData>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace kavro::trainer {
namespace {

TEST(OptionItemTemplate, ShowsLiveValuesInItsPlaceholders)
{
    int speed = 100;
    float length = 0.1f;
    double ratio = 1.5;
    uint32_t count = 7;
    QString name = QStringLiteral("abc");
    COLORREF color = rgb(1, 2, 3);
    const auto speedItem = OptionItem::create(OptionCheck::None, nullptr, "Trace replay speed %1!d! %%",
                                              {OptionArg::integer(&speed, 10, 300)});
    ASSERT_TRUE(speedItem);
    EXPECT_EQ(speedItem->text(), "Trace replay speed 100 %");
    speed = 250;
    EXPECT_EQ(speedItem->text(), "Trace replay speed 250 %");

    auto mixed = OptionItem::create(
        OptionCheck::None, nullptr, "%1!r!|%2!.3f!|%3!f!|%4!8.2lf!|%5!u!|%6!s!|%7!ld!|%8!lu!",
        {OptionArg::color(&color), OptionArg::real(&length, 0, 1, 0.01), OptionArg::real(&length, 0, 1, 0.01),
         OptionArg::real(&ratio, 0, 9, 0.5), OptionArg::unsignedInt(&count, 0, 9), OptionArg::text(&name, 8),
         OptionArg::integer(&speed, 0, 300), OptionArg::unsignedInt(&count, 0, 9)});
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->text(), QString(13, u' ') + "|0.100|0.1|    1.50|7|abc|250|7");
    EXPECT_EQ(mixed->valueParts().size(), 8u);

    // Placeholders take their own argument, whatever their order in the text.
    int a = 1, b = 2;
    const auto swapped = OptionItem::create(OptionCheck::None, nullptr, "%2!d! before %1!d!",
                                            {OptionArg::integer(&a, 0, 9), OptionArg::integer(&b, 0, 9)});
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->text(), "2 before 1");

    // A moved record rebinds a placeholder only to a field of its own kind: a colour is not an
    // unsigned integer, though both are stored alike.
    COLORREF moved = rgb(4, 5, 6);
    EXPECT_FALSE(mixed->rebind(1, &count));
    EXPECT_TRUE(mixed->rebind(1, ColorField{&moved}));
    EXPECT_EQ(mixed->color(0), rgb(4, 5, 6));
}

TEST(OptionItemTemplate, RefusesBrokenTemplatesAndArguments)
{
    int v = 0;
    float f = 0;
    bool flag = false;
    const std::vector<OptionArg> one = {OptionArg::integer(&v, 0, 9)};
    for (const char* templ : {"50%", "%", "%x", "%0!d!", "%100!d!", "%1d", "%1!d", "%1!q!", "%1!.d!", "%1!ls!",
                              "%1!lr!", "%2!d!", "a %1!d! %"})
        EXPECT_FALSE(OptionItem::create(OptionCheck::None, nullptr, templ, one)) << templ;
    EXPECT_FALSE(OptionItem::create(OptionCheck::None, nullptr, "%1!f!", one)); // an int for a float
    EXPECT_FALSE(OptionItem::create(OptionCheck::None, nullptr, "%1!lf!", {OptionArg::real(&f, 0, 1, 0.1)}));
    EXPECT_FALSE(OptionItem::create(OptionCheck::None, nullptr, "%1!d!", {OptionArg::integer(nullptr, 0, 9)}));
    EXPECT_FALSE(OptionItem::create(OptionCheck::Box, nullptr, "mark without a flag", {}));
    EXPECT_TRUE(OptionItem::create(OptionCheck::Box, &flag, "100%% sure", {}));
}

TEST(OptionItemEditing, ClampsTypedValuesAndStepsWithinTheLimits)
{
    int speed = 100;
    float seconds = 1.0f;
    QString name;
    auto item = *OptionItem::create(
        OptionCheck::None, nullptr, "%1!d! %2!.3f! %3!s!",
        {OptionArg::integer(&speed, 10, 300), OptionArg::real(&seconds, 0, 10, 0.05), OptionArg::text(&name, 5)});
    EXPECT_TRUE(item.commit(0, "400"));
    EXPECT_EQ(speed, 300);
    item.commit(0, "5");
    EXPECT_EQ(speed, 10);
    item.commit(0, "99999999999999999999999");
    EXPECT_EQ(speed, 300);
    item.commit(0, "-99999999999999999999999");
    EXPECT_EQ(speed, 10);
    EXPECT_FALSE(item.commit(0, "12a")); // not a number: the value stays
    EXPECT_FALSE(item.commit(0, ""));
    EXPECT_EQ(speed, 10);
    EXPECT_FALSE(item.step(0, -1)); // already at the minimum
    EXPECT_TRUE(item.step(0, 1));
    EXPECT_EQ(speed, 11);

    item.commit(1, " 2.5 ");
    EXPECT_FLOAT_EQ(seconds, 2.5f);
    item.commit(1, "12");
    EXPECT_FLOAT_EQ(seconds, 10.0f);
    EXPECT_FALSE(item.commit(1, "0x1"));
    EXPECT_FALSE(item.step(1, 1));
    EXPECT_TRUE(item.step(1, -1));
    EXPECT_FLOAT_EQ(seconds, 9.95f);
    EXPECT_EQ(item.valueText(1), "9.950");

    item.commit(2, "abcdefg");
    EXPECT_EQ(name, "abcd"); // the buffer keeps room for its terminator
}

class OptionsTree : public ::testing::Test {
protected:
    QModelIndex line(uint32_t stringId) const { return model->findString(stringId); }
    QString text(const QModelIndex& index) const { return index.data().toString(); }
    QModelIndex intervalList() const { return line(61251); }
    QModelIndex child(const QModelIndex& parent, int row) const { return model->index(row, 0, parent); }

    AppOptions options;
    std::unique_ptr<OptionsTreeModel> model = std::make_unique<OptionsTreeModel>(options);
};

TEST_F(OptionsTree, HoldsEveryGroupAndLineOfTheSettings)
{
    ASSERT_EQ(model->rowCount(), 6);
    const std::pair<uint32_t, int> groups[]
        = {{61231, 4}, {61236, 12}, {61246, 8}, {61258, 9}, {61266, 8}, {61278, 11}};
    for (int r = 0; r < 6; ++r) {
        const QModelIndex root = child({}, r);
        EXPECT_EQ(root, line(groups[r].first)) << r;
        EXPECT_EQ(model->rowCount(root), groups[r].second) << r;
    }
    EXPECT_EQ(text(line(61233)), "Trace replay speed 100 %");
    EXPECT_EQ(text(line(61277)), "Ignore clicks 1.000 sec after shot (biathlon only)");
    EXPECT_EQ(text(line(61254)), "Enable trace heading " + QString(13, u' ') + " 0.100 seconds");
    EXPECT_EQ(text(child(line(61278), 3)), "Frequency while in 3 600 Hz");
    EXPECT_EQ(model->rowCount(line(61260)), 2);
    // The default interval, then "Add...".
    ASSERT_EQ(model->rowCount(intervalList()), 2);
    EXPECT_EQ(text(child(intervalList(), 0)), QString(13, u' ') + " Begin: -0.200 sec, End: 0.000 sec");
    EXPECT_EQ(text(child(intervalList(), 1)), "Add...");
    // Images: groups, colour lines, the list, "Add...", marks.
    EXPECT_EQ(model->image(line(61231)), kImageGroupGeneral);
    EXPECT_EQ(model->image(line(61266)), kImageGroupPrint);
    EXPECT_EQ(model->image(line(61255)), kImageColor);
    EXPECT_EQ(model->image(intervalList()), kImageIntervalList);
    EXPECT_EQ(model->image(child(intervalList(), 1)), kImageAdd);
    EXPECT_EQ(model->image(line(61234)), kImageBoxTicked);
    EXPECT_EQ(model->image(line(61235)), kImageBoxClear);
}

TEST_F(OptionsTree, AnItemWithABadTemplateIsLeftOut)
{
    const int before = model->rowCount();
    int v = 0;
    EXPECT_EQ(model->insertOptionItemText(nullptr, -1, OptionCheck::None, nullptr, 0, "%1!q!",
                                          {OptionArg::integer(&v, 0, 1)}),
              nullptr);
    EXPECT_EQ(model->insertOptionItemText(nullptr, -1, OptionCheck::None, nullptr, 0, "%1!d! and %2!d!",
                                          {OptionArg::integer(&v, 0, 1)}),
              nullptr);
    EXPECT_EQ(model->rowCount(), before);
    EXPECT_NE(
        model->insertOptionItemText(nullptr, 0, OptionCheck::None, nullptr, 0, "%1!d!", {OptionArg::integer(&v, 0, 1)}),
        nullptr);
    EXPECT_EQ(text(child({}, 1)), "0"); // after row 0
}

TEST(OptionsTreeLanguage, ABrokenTranslationFallsBackToTheEnglishTemplate)
{
    auto table = std::make_shared<StringTable>();
    (*table)[61233] = QStringLiteral("Vitesse %1!q! %%"); // no such conversion
    (*table)[61232] = QStringLiteral("Pause %1!d! s");
    const auto previous = exchangeStringTable(table);
    AppOptions options;
    OptionsTreeModel model(options);
    exchangeStringTable(previous);
    EXPECT_EQ(model.findString(61233).data().toString(), "Trace replay speed 100 %");
    EXPECT_EQ(model.findString(61232).data().toString(), "Pause 1 s");
}

TEST_F(OptionsTree, TypedValuesAreClampedIntoTheRecord)
{
    const QModelIndex speed = line(61233);
    ASSERT_TRUE(model->isEditable(speed));
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    EXPECT_FALSE(model->commitText(speed, 1, "400")); // the literal tail
    model->commitText(speed, 0, "400");
    EXPECT_EQ(options.ReplaySpeed, 300);
    EXPECT_EQ(text(speed), "Trace replay speed 300 %");
    EXPECT_GE(changed.count(), 1);
    model->step(line(61277), 0, 3);
    EXPECT_FLOAT_EQ(options.PiezoRejectInterval, 1.15f);
    model->commitText(child(line(61278), 10), 0, "20000");
    EXPECT_EQ(options.BlindGenFrequencies[10], 16000);
    model->setColor(line(61255), 0, rgb(9, 8, 7));
    EXPECT_EQ(options.BreachColor, rgb(9, 8, 7));
    EXPECT_FALSE(model->isEditable(line(61231))); // a group has nothing to edit
    EXPECT_FALSE(model->isEditable(line(61234))); // a mark without values
}

TEST_F(OptionsTree, UntickingALineTakesItsEditorsAndTickingBringsThemBack)
{
    const QModelIndex autoReplay = line(61259);
    ASSERT_TRUE(options.AutoReplay);
    EXPECT_TRUE(model->isEditable(autoReplay));
    QSignalSpy marks(model.get(), &OptionsTreeModel::markChanged);
    EXPECT_TRUE(model->setData(autoReplay, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(options.AutoReplay);
    EXPECT_FALSE(model->isEditable(autoReplay));
    EXPECT_EQ(model->image(autoReplay), kImageBoxClear);
    EXPECT_FALSE(model->setData(autoReplay, Qt::Unchecked, Qt::CheckStateRole)); // no change
    EXPECT_TRUE(model->toggle(autoReplay));
    EXPECT_TRUE(options.AutoReplay);
    EXPECT_TRUE(model->isEditable(autoReplay));
    EXPECT_EQ(marks.count(), 2);
}

TEST_F(OptionsTree, LinesBelowAClearMarkAreGreyedAndCannotBeChanged)
{
    const QModelIndex blind = line(61278);
    ASSERT_FALSE(options.BlindGen);
    const QModelIndex frequency = child(blind, 4);
    EXPECT_TRUE(model->markAboveClear(frequency));
    EXPECT_TRUE(frequency.data(OptionsTreeModel::GreyedRole).toBool());
    EXPECT_FALSE(model->isEditable(frequency));
    // A marked line below the clear mark: greyed, and it does not toggle.
    bool flag = true;
    OptionNode* marked = model->insertOptionItemText(model->nodeAt(blind), -1, OptionCheck::Box, &flag, 0, "flag");
    const QModelIndex markedIndex = model->indexOf(marked);
    EXPECT_EQ(model->image(markedIndex), kImageBoxTicked + 2);
    EXPECT_FALSE(model->flags(markedIndex) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model->toggle(markedIndex));
    EXPECT_TRUE(flag);

    EXPECT_TRUE(model->toggle(blind));
    EXPECT_TRUE(model->isEditable(frequency));
    EXPECT_EQ(model->image(markedIndex), kImageBoxTicked);
    EXPECT_TRUE(model->toggle(markedIndex));
    EXPECT_FALSE(flag);
}

TEST_F(OptionsTree, RadioItemsExcludeEachOtherAndStaySet)
{
    bool a = true, b = false, c = false;
    OptionNode* group = model->insertOptionItemText(nullptr, -1, OptionCheck::None, nullptr, 0, "group");
    QModelIndex items[3];
    bool* flags[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i)
        items[i] = model->indexOf(
            model->insertOptionItemText(group, -1, OptionCheck::Radio, flags[i], 0, QString("r%1").arg(i)));
    EXPECT_TRUE(model->toggle(items[1]));
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    EXPECT_FALSE(c);
    EXPECT_FALSE(model->toggle(items[1])); // a set radio item stays set
    EXPECT_TRUE(b);
    EXPECT_EQ(model->image(items[1]), kImageRadioClear + 1);
    EXPECT_EQ(model->image(items[0]), kImageRadioClear);
}

TEST_F(OptionsTree, ANewIntervalLeftEmptyVanishesAndOneThatEndsAfterItBeginsStays)
{
    const QModelIndex list = intervalList();
    QModelIndex fresh = model->enter(child(list, 1));
    ASSERT_EQ(options.TraceIntervals.size(), 2u);
    EXPECT_EQ(fresh, child(list, 1));
    EXPECT_EQ(model->rowCount(list), 2); // "Add..." is gone while the new one is edited
    EXPECT_EQ(model->image(fresh), kImageAdd);
    EXPECT_EQ(options.TraceIntervals[1], (TraceIntervalColor{rgb(255, 255, 255), 0, 0}));
    model->leave(fresh);
    EXPECT_EQ(options.TraceIntervals.size(), 1u);
    ASSERT_EQ(model->rowCount(list), 2);
    EXPECT_EQ(text(child(list, 1)), "Add...");

    fresh = model->enter(child(list, 1));
    model->commitText(fresh, 1, "-0.5");
    model->commitText(fresh, 2, "-0.25");
    model->leave(fresh);
    ASSERT_EQ(options.TraceIntervals.size(), 2u);
    EXPECT_EQ(options.TraceIntervals[1].begin, -0.5f);
    EXPECT_EQ(model->image(child(list, 1)), kImageColor);
    EXPECT_EQ(text(child(list, 2)), "Add...");
    // Leaving a confirmed interval or entering another line changes nothing.
    model->leave(child(list, 1));
    EXPECT_EQ(model->enter(child(list, 0)), child(list, 0));
    EXPECT_EQ(model->rowCount(list), 3);
}

TEST_F(OptionsTree, IntervalsKeepTheirValuesWhenTheListGrowsAndShrinks)
{
    const QModelIndex list = intervalList();
    for (int i = 0; i < 20; ++i) {
        const QModelIndex fresh = model->enter(child(list, model->rowCount(list) - 1));
        model->commitText(fresh, 2, QString::number(i + 1));
        model->leave(fresh);
    }
    ASSERT_EQ(options.TraceIntervals.size(), 21u);
    EXPECT_EQ(text(child(list, 0)), QString(13, u' ') + " Begin: -0.200 sec, End: 0.000 sec");
    EXPECT_EQ(text(child(list, 5)), QString(13, u' ') + " Begin: 0.000 sec, End: 2.000 sec"); // clamped at 2
    EXPECT_TRUE(model->deleteInterval(child(list, 0)));
    model->commitText(child(list, 0), 1, "-1");
    EXPECT_EQ(options.TraceIntervals[0].begin, -1.0f);
    EXPECT_EQ(options.TraceIntervals.size(), 20u);
    EXPECT_FALSE(model->deleteInterval(child(list, 20))); // "Add..."
    EXPECT_FALSE(model->deleteInterval(line(61255)));
}

TEST_F(OptionsTree, DraggingTheThirdIntervalOntoTheFirstMakesItTheFirst)
{
    options.TraceIntervals = {{rgb(1, 0, 0), -3, -2}, {rgb(2, 0, 0), -2, -1}, {rgb(3, 0, 0), -1, 0}};
    model = std::make_unique<OptionsTreeModel>(options);
    const QModelIndex list = intervalList();
    std::unique_ptr<QMimeData> data(model->mimeData({child(list, 2)}));
    ASSERT_TRUE(data);
    EXPECT_FALSE(model->canDropMimeData(data.get(), Qt::MoveAction, -1, -1, child(list, 3))); // "Add..."
    EXPECT_FALSE(model->canDropMimeData(data.get(), Qt::MoveAction, -1, -1, line(61255)));
    ASSERT_TRUE(model->dropMimeData(data.get(), Qt::MoveAction, -1, -1, child(list, 0)));
    EXPECT_EQ(options.TraceIntervals[0].color, rgb(3, 0, 0));
    EXPECT_EQ(options.TraceIntervals[1].color, rgb(1, 0, 0));
    EXPECT_EQ(options.TraceIntervals[2].color, rgb(2, 0, 0));
    EXPECT_EQ(text(child(list, 0)), QString(13, u' ') + " Begin: -1.000 sec, End: 0.000 sec");
    EXPECT_EQ(text(child(list, 2)), QString(13, u' ') + " Begin: -2.000 sec, End: -1.000 sec");
    // The lines still write their own entries.
    model->commitText(child(list, 0), 1, "-1.5");
    EXPECT_EQ(options.TraceIntervals[0].begin, -1.5f);
    // And back down: the first onto the third.
    ASSERT_TRUE(model->moveInterval(child(list, 0), child(list, 2)));
    EXPECT_EQ(options.TraceIntervals[2].color, rgb(3, 0, 0));
    EXPECT_EQ(options.TraceIntervals[0].color, rgb(1, 0, 0));
    EXPECT_FALSE(model->moveInterval(child(list, 1), child(list, 1)));
    EXPECT_FALSE(model->mimeData({child(list, 3)}));
}

} // namespace
} // namespace kavro::trainer
