// The options dialog on screen: editors follow the selected line, marks take and give them back,
// "Add..." makes an interval, and the options command's entry point returns the change mask.
#include "options_dialog.h"

#include "app_registry.h"
#include "language_module.h"
#include "option_line_editor.h"
#include "options_tree_model.h"
#include "window_rect.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include <gtest/gtest.h>

namespace kavro::trainer {
namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Where the view draws a line's tick box, and where the dialog takes clicks on it.
QRect checkBoxRect(QTreeView* tree, const QModelIndex& index)
{
    QStyleOptionViewItem opt;
    opt.initFrom(tree);
    opt.rect = tree->visualRect(index);
    opt.features |= QStyleOptionViewItem::HasCheckIndicator;
    return tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, tree);
}

class OptionsDialog : public ::testing::Test {
protected:
    void select(uint32_t stringId) { select(dlg.model()->findString(stringId)); }
    void select(const QModelIndex& index)
    {
        dlg.tree()->setCurrentIndex(index);
        settle();
    }
    QLineEdit* firstEdit() const
    {
        OptionLineEditor* e = dlg.lineEditor();
        return e && !e->fields().empty() ? qobject_cast<QLineEdit*>(e->fields()[0]) : nullptr;
    }

    AppOptions options;
    COptionsDlg dlg{options};
};

TEST_F(OptionsDialog, EditorsFollowTheSelectedLineAndItsMark)
{
    dlg.show();
    settle();
    EXPECT_EQ(dlg.windowTitle(), "Options");
    EXPECT_EQ(dlg.tree()->currentIndex(), dlg.model()->index(0, 0));
    EXPECT_TRUE(dlg.tree()->isExpanded(dlg.model()->index(0, 0)));
    EXPECT_EQ(dlg.lineEditor(), nullptr);

    select(61233);
    QLineEdit* edit = firstEdit();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "100");
    edit->selectAll();
    QTest::keyClicks(edit, "400");
    EXPECT_EQ(options.ReplaySpeed, 300);
    EXPECT_EQ(edit->text(), "400"); // the typing stays as typed until the line is left

    // A colour, a number with its spin buttons, and the literal text between them.
    select(61254);
    ASSERT_NE(dlg.lineEditor(), nullptr);
    EXPECT_EQ(dlg.lineEditor()->fields().size(), 2u);
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    dlg.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/options_editors.png"));

    select(61259);
    ASSERT_NE(firstEdit(), nullptr);
    QTest::keyClick(dlg.tree(), Qt::Key_Space);
    settle();
    EXPECT_FALSE(options.AutoReplay);
    EXPECT_EQ(dlg.lineEditor(), nullptr);
    QTest::keyClick(dlg.tree(), Qt::Key_Space);
    settle();
    EXPECT_TRUE(options.AutoReplay);
    ASSERT_NE(firstEdit(), nullptr);

    // Below the clear blind-shooter mark nothing can be edited.
    const QModelIndex blind = dlg.model()->findString(61278);
    select(dlg.model()->index(5, 0, blind));
    EXPECT_EQ(dlg.lineEditor(), nullptr);
}

TEST_F(OptionsDialog, AddMakesAnIntervalThatVanishesWhenLeftEmpty)
{
    dlg.show();
    settle();
    const QModelIndex list = dlg.model()->findString(61251);
    select(dlg.model()->index(1, 0, list)); // "Add..."
    ASSERT_EQ(options.TraceIntervals.size(), 2u);
    EXPECT_EQ(dlg.tree()->currentIndex(), dlg.model()->index(1, 0, list));
    ASSERT_NE(dlg.lineEditor(), nullptr);
    EXPECT_EQ(dlg.lineEditor()->fields().size(), 3u);
    select(list);
    EXPECT_EQ(options.TraceIntervals.size(), 1u);
    EXPECT_EQ(dlg.model()->index(1, 0, list).data().toString(), "Add...");
}

TEST_F(OptionsDialog, AClickOnAMarkTogglesItAndOkLeavesANewInterval)
{
    dlg.show();
    settle();
    const QModelIndex targetLen = dlg.model()->findString(61235);
    dlg.tree()->scrollTo(targetLen);
    const QRect box = checkBoxRect(dlg.tree(), targetLen);
    ASSERT_FALSE(options.TargetLen);
    QTest::mouseClick(dlg.tree()->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_TRUE(options.TargetLen);

    const QModelIndex list = dlg.model()->findString(61251);
    dlg.tree()->expand(dlg.model()->findString(61246));
    select(dlg.model()->index(1, 0, list)); // "Add..."
    ASSERT_EQ(options.TraceIntervals.size(), 2u);
    dlg.accept(); // as if the line had been left: an empty interval is not kept
    EXPECT_EQ(options.TraceIntervals.size(), 1u);
}

TEST_F(OptionsDialog, ArrowKeysWalkBetweenTheTreeAndTheEditors)
{
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    dlg.tree()->expand(dlg.model()->findString(61246));
    select(61254); // a colour and a number
    OptionLineEditor* editor = dlg.lineEditor();
    ASSERT_NE(editor, nullptr);
    dlg.tree()->setFocus();
    QTest::keyClick(dlg.tree(), Qt::Key_Right);
    EXPECT_TRUE(editor->fields()[0]->hasFocus());
    QTest::keyClick(editor->fields()[0], Qt::Key_Right);
    auto* length = qobject_cast<QLineEdit*>(editor->fields()[1]);
    ASSERT_NE(length, nullptr);
    EXPECT_TRUE(length->hasFocus());
    EXPECT_EQ(length->selectedText(), "0.100");
    QTest::keyClick(length, Qt::Key_Up); // the spin's step
    EXPECT_FLOAT_EQ(options.TraceHeadingLength, 0.11f);
    EXPECT_EQ(length->text(), "0.110");
    QTest::keyClick(length, Qt::Key_Home);
    QTest::keyClick(length, Qt::Key_Left);
    EXPECT_TRUE(editor->fields()[0]->hasFocus());
    QTest::keyClick(editor->fields()[0], Qt::Key_Left);
    EXPECT_TRUE(dlg.tree()->hasFocus());
}

TEST_F(OptionsDialog, AClickOnAValueOfAnotherLineEditsThatValue)
{
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const QModelIndex speed = dlg.model()->findString(61233);
    QStyleOptionViewItem opt;
    opt.initFrom(dlg.tree());
    opt.rect = dlg.tree()->visualRect(speed);
    const QRect text = dlg.tree()->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, dlg.tree());
    const QPoint at(text.left() + dlg.tree()->fontMetrics().horizontalAdvance("Trace replay speed 10") + 6,
                    text.center().y());
    QTest::mouseClick(dlg.tree()->viewport(), Qt::LeftButton, {}, at);
    settle();
    QTest::qWait(50);
    QLineEdit* edit = firstEdit();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(dlg.tree()->currentIndex(), speed);
    EXPECT_TRUE(edit->hasFocus());
    // The caret where the click fell, not at either end.
    EXPECT_EQ(edit->cursorPosition(), edit->cursorPositionAt(edit->mapFrom(dlg.tree()->viewport(), at)));
    EXPECT_GT(edit->cursorPosition(), 0);
    EXPECT_LT(edit->cursorPosition(), 3);
}

TEST(OptionsDrag, ARefusedDropLeavesTheHighlightOnTheLineBeingEdited)
{
    AppOptions options;
    options.TraceIntervals = {{1, -3, -2}, {2, -2, -1}, {3, -1, 0}};
    COptionsDlg dlg(options);
    dlg.show();
    settle();
    QTreeView* tree = dlg.tree();
    const QModelIndex list = dlg.model()->findString(61251);
    tree->expand(list.parent());
    tree->expand(list);
    const QModelIndex third = dlg.model()->index(2, 0, list);
    tree->setCurrentIndex(third);
    settle();
    ASSERT_NE(dlg.lineEditor(), nullptr);

    // Picked up by its image (the editors cover its text) and let go over "Add...", where an
    // interval cannot be dropped: the release ends the drag there.
    const QRect line = tree->visualRect(third);
    const QPoint from(line.left() + 8, line.center().y());
    const QPoint onto = tree->visualRect(dlg.model()->index(3, 0, list)).center();
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(tree->viewport(), from + QPoint(0, 2));
    QTest::mouseMove(tree->viewport(), onto);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, onto);
    settle();

    EXPECT_EQ(options.TraceIntervals.size(), 3u);
    EXPECT_EQ(tree->currentIndex(), third);
    EXPECT_EQ(tree->selectionModel()->selectedIndexes(), QModelIndexList{third});
    ASSERT_NE(dlg.lineEditor(), nullptr);
    EXPECT_TRUE(dlg.lineEditor()->isVisible());
    EXPECT_EQ(dlg.lineEditor()->geometry().center().y(), line.center().y());
}

TEST(OptionsEditors, LeaveTheTickBoxFreeInEitherDirection)
{
    auto& module = LanguageModule::instance();
    const QString savedFolder = module.languageFolder();
    const QLocale savedLocale;
    module.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    const struct {
        int langId;
        Qt::LayoutDirection direction;
        const char* screen;
    } cases[] = {{1025, Qt::RightToLeft, "options_editors_ara.png"}, // Arabic
                 {kEnglishLangId, Qt::LeftToRight, nullptr}};
    for (const auto& c : cases) {
        ASSERT_NE(module.switchTo(c.langId), LanguageModule::SwitchResult::Failed);
        AppOptions options;
        options.TraceHeadingEnabled = true;
        COptionsDlg dlg(options);
        ASSERT_EQ(dlg.layoutDirection(), c.direction);
        dlg.show();
        settle();
        const QModelIndex heading = dlg.model()->findString(61254);
        dlg.tree()->expand(heading.parent());
        dlg.tree()->setCurrentIndex(heading);
        settle();
        ASSERT_NE(dlg.lineEditor(), nullptr);
        const QRect box = checkBoxRect(dlg.tree(), heading);
        EXPECT_FALSE(box.intersects(dlg.lineEditor()->geometry())) << c.langId;
        if (c.screen) {
            QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
            dlg.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/") + QLatin1String(c.screen));
        }

        // The box still takes the click that unticks the line and closes its editors.
        QTest::mouseClick(dlg.tree()->viewport(), Qt::LeftButton, {}, box.center());
        settle();
        EXPECT_FALSE(options.TraceHeadingEnabled) << c.langId;
        EXPECT_EQ(dlg.lineEditor(), nullptr) << c.langId;
    }
    module.setLanguageFolder(savedFolder);
    QLocale::setDefault(savedLocale);
}

TEST(OptionsCommand, OkReturnsTheChangeMaskAndCancelChangesNothing)
{
    AppOptions global;
    global.TraceIntervals = {{1, -3, -2}, {2, -2, -1}, {3, -1, 0}};
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->model()->commitText(d->model()->findString(61233), 0, "150");
        const QModelIndex list = d->model()->findString(61251);
        d->model()->moveInterval(d->model()->index(2, 0, list), d->model()->index(0, 0, list));
        QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
        d->grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/options_dialog.png"));
        d->accept();
    });
    EXPECT_EQ(runOptionsDialog(nullptr, global), std::optional<uint32_t>(kChangeReplaySpeed | kChangeTraceColors));
    EXPECT_EQ(global.ReplaySpeed, 150);
    EXPECT_EQ(global.TraceIntervals[0].color, 3u);

    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->model()->commitText(d->model()->findString(61276), 0, "7");
        d->reject();
    });
    EXPECT_EQ(runOptionsDialog(nullptr, global), std::nullopt);
    EXPECT_EQ(global.FiringPoint, 1);

    // Only the seconds of the automatic replay: no bit.
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
        d->model()->commitText(d->model()->findString(61259), 0, "30");
        d->accept();
    });
    EXPECT_EQ(runOptionsDialog(nullptr, global), std::optional<uint32_t>(0));
    EXPECT_EQ(global.AutoReplaySec, 30);

    // The dialog keeps its placement.
    QByteArray placement;
    ASSERT_TRUE(SUCCEEDED(OpenAppRegistryKey().readBinary("WindowRectOptions", &placement)));
    EXPECT_TRUE(decodeWindowRect(placement).has_value());
}

TEST(WindowRect, SixteenBytesOfANonEmptyRectangle)
{
    const QByteArray bytes = encodeWindowRect(QRect(10, 20, 300, 200));
    // left 10, top 20, right 310, bottom 220
    EXPECT_EQ(bytes.toHex(),
              QByteArray("0a00000014000000360100"
                         "00dc000000"));
    EXPECT_EQ(decodeWindowRect(bytes), QRect(10, 20, 300, 200));
    EXPECT_FALSE(decodeWindowRect(bytes.left(15)));
    EXPECT_FALSE(decodeWindowRect(encodeWindowRect(QRect(10, 20, 0, 5))));
    QByteArray negative = bytes;
    negative[8] = 0; // right before left
    negative[9] = 0;
    EXPECT_FALSE(decodeWindowRect(negative));
    // A small rectangle far beyond any screen is damage, not a place.
    EXPECT_FALSE(decodeWindowRect(QByteArray::fromHex("f0ffff7f00000000ffffff7f10000000")));
}

} // namespace
} // namespace kavro::trainer
