// The shots parameters dialog: its form (texts, spins, the check on OK) and the dialog itself.
#include "shots_parameters_dialog.h"
#include "spin_buttons.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace kavro::trainer {
namespace {

ShotsParameters sample()
{
    ShotsParameters p;
    p.dispersion = 2.5f;
    p.shotMoment = -0.25f;
    p.fCoefficient = 200;
    p.controlInterval = 1.0f;
    p.controlInterval2 = 3;
    p.coincideGrouping = 1;
    return p;
}

TEST(ShotsParametersForm, ShowsTheValuesAndSetsTheSpinsByTheirScale)
{
    ShotsParametersForm form(sample(), 1);
    EXPECT_EQ(form.text(ShotsField::Dispersion), "2.5");
    EXPECT_EQ(form.text(ShotsField::ShotMoment), "-0.25");
    EXPECT_EQ(form.text(ShotsField::FCoefficient), "200");
    EXPECT_EQ(form.text(ShotsField::ControlInterval), "1");
    EXPECT_EQ(form.text(ShotsField::ControlInterval2), "3");
    EXPECT_EQ(form.spinPosition(ShotsField::Dispersion), 25);
    EXPECT_EQ(form.spinPosition(ShotsField::ShotMoment), -25);
    EXPECT_EQ(form.spinPosition(ShotsField::FCoefficient), 200);
    EXPECT_EQ(form.spinPosition(ShotsField::ControlInterval), 10);
    EXPECT_EQ(form.spinPosition(ShotsField::ControlInterval2), 3);
    EXPECT_EQ(form.checkState(), 1);
    EXPECT_EQ(form.accept(), sample()); // unchanged texts give the values back
}

TEST(ShotsParametersForm, SpinsWriteTheirScaledPosition)
{
    ShotsParametersForm form(sample(), 1);
    form.moveSpin(ShotsField::ShotMoment, -250);
    EXPECT_EQ(form.text(ShotsField::ShotMoment), "-2.5");
    form.moveSpin(ShotsField::Dispersion, 7);
    EXPECT_EQ(form.text(ShotsField::Dispersion), "0.7");
    form.moveSpin(ShotsField::ControlInterval, 100);
    EXPECT_EQ(form.text(ShotsField::ControlInterval), "10");
    form.moveSpin(ShotsField::ControlInterval2, 4);
    EXPECT_EQ(form.text(ShotsField::ControlInterval2), "4");
    // Text outside the spin's range puts the spin at its end; text that is no number at 0.
    form.setText(ShotsField::Dispersion, "60");
    EXPECT_EQ(form.spinPosition(ShotsField::Dispersion), 500);
    form.setText(ShotsField::ShotMoment, "x");
    EXPECT_EQ(form.spinPosition(ShotsField::ShotMoment), 0);
    form.setText(ShotsField::ControlInterval, "x");
    EXPECT_EQ(form.spinPosition(ShotsField::ControlInterval), 1);
}

TEST(ShotsParametersForm, OkChecksTheFieldsInOrderAgainstTheirRanges)
{
    struct Case {
        ShotsField field;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {ShotsField::Dispersion, "0", true},        {ShotsField::Dispersion, "0a", false},
        {ShotsField::Dispersion, "abc", false},     {ShotsField::Dispersion, "50", true},
        {ShotsField::Dispersion, "50.01", false},   {ShotsField::Dispersion, "-0.1", false},
        {ShotsField::ShotMoment, "-5", true},       {ShotsField::ShotMoment, "0.5", true},
        {ShotsField::ShotMoment, "0.51", false},    {ShotsField::ShotMoment, "-5.001", false},
        {ShotsField::FCoefficient, "500", true},    {ShotsField::FCoefficient, "501", false},
        {ShotsField::FCoefficient, "-1", false},    {ShotsField::FCoefficient, "20.5", false},
        {ShotsField::ControlInterval, "0.1", true}, {ShotsField::ControlInterval, "0.09", false},
        {ShotsField::ControlInterval, "5", true},   {ShotsField::ControlInterval, "nan", false},
        {ShotsField::ControlInterval2, "1", true},  {ShotsField::ControlInterval2, "0", false},
        {ShotsField::ControlInterval2, "5", true},  {ShotsField::ControlInterval2, "2.5", false},
    };
    for (const Case& c : cases) {
        ShotsParametersForm form(sample(), 1);
        form.setText(c.field, QString::fromUtf8(c.text));
        ShotsField failed = ShotsField::ControlInterval2;
        const auto values = form.accept(&failed);
        EXPECT_EQ(values.has_value(), c.accepted) << c.text;
        if (!c.accepted) {
            EXPECT_EQ(failed, c.field) << c.text;
        }
    }
    // Two bad fields: the F coefficient is checked before the dispersion.
    ShotsParametersForm form(sample(), 1);
    form.setText(ShotsField::Dispersion, "x");
    form.setText(ShotsField::FCoefficient, "x");
    ShotsField failed{};
    EXPECT_FALSE(form.accept(&failed));
    EXPECT_EQ(failed, ShotsField::FCoefficient);
    EXPECT_EQ(shotsRangeHint(ShotsField::ControlInterval), "Enter a number from 0.1 to 5.");
}

TEST(ShotsParametersForm, CheckStateOutsideItsRangeShowsClearAndBiathlonLocksTwoFields)
{
    ShotsParameters p = sample();
    p.coincideGrouping = 7;
    EXPECT_EQ(ShotsParametersForm(p, 1).checkState(), 0);
    p.coincideGrouping = 2;
    EXPECT_EQ(ShotsParametersForm(p, 1).checkState(), 2);
    EXPECT_TRUE(ShotsParametersForm(p, 1).shotMomentEditable());
    EXPECT_FALSE(ShotsParametersForm(p, 2).shotMomentEditable());
    EXPECT_FALSE(ShotsParametersForm(p, 2).coincideEditable());
}

TEST(ShotsParametersDialog, RefusesABadFieldThenAcceptsAndCancelChangesNothing)
{
    CShotsParametersDlg dlg(sample(), 1);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Shots parameters");
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    dlg.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/shots_parameters_dialog.png"));
    QLineEdit* dispersion = dlg.edit(ShotsField::Dispersion);
    dispersion->setText("");
    dispersion->insert("1.5x");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dispersion->selectedText(), "1.5x");
    EXPECT_FALSE(dlg.rangeHint()->isHidden());
    EXPECT_EQ(dlg.rangeHint()->text(), "Enter a number from 0 to 50.");

    dispersion->selectAll();
    dispersion->insert("1.5"); // typing also moves the spin
    EXPECT_EQ(dlg.spin(ShotsField::Dispersion)->position(), 15);
    dlg.spin(ShotsField::ShotMoment)->stepBy(-1);
    EXPECT_EQ(dlg.edit(ShotsField::ShotMoment)->text(), "-0.26");
    dlg.coincideBox()->setChecked(false);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ShotsParameters expected = sample();
    expected.dispersion = 1.5f;
    expected.shotMoment = -0.26f;
    expected.coincideGrouping = 0;
    EXPECT_EQ(dlg.values(), expected);

    ShotsParameters values = sample();
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<CShotsParametersDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->edit(ShotsField::FCoefficient)->setText("300");
        d->reject();
    });
    EXPECT_FALSE(runShotsParametersDialog(nullptr, 2, &values));
    EXPECT_EQ(values, sample());
}

TEST(ShotsParametersDialog, TheCoincideBoxShowsTheStoredButtonState)
{
    // 1 is a checked box and 2 an indeterminate one, as the document and its callers store them.
    ShotsParameters values = sample();
    for (const auto& [stored, shown] : {std::pair{0, Qt::Unchecked}, {1, Qt::Checked}, {2, Qt::PartiallyChecked}}) {
        values.coincideGrouping = stored;
        CShotsParametersDlg dlg(values, 1);
        EXPECT_EQ(dlg.coincideBox()->checkState(), shown) << stored;
        dlg.accept();
        EXPECT_EQ(dlg.values().coincideGrouping, stored);
    }
    CShotsParametersDlg dlg(sample(), 1);
    dlg.coincideBox()->setChecked(false);
    dlg.coincideBox()->click();
    dlg.accept();
    EXPECT_EQ(dlg.values().coincideGrouping, 1);
}

TEST(ShotsParametersDialog, BiathlonDisablesShotMomentAndCoincide)
{
    CShotsParametersDlg dlg(sample(), 2);
    EXPECT_FALSE(dlg.edit(ShotsField::ShotMoment)->isEnabled());
    EXPECT_FALSE(dlg.spin(ShotsField::ShotMoment)->isEnabled());
    EXPECT_FALSE(dlg.coincideBox()->isEnabled());
    EXPECT_TRUE(dlg.edit(ShotsField::Dispersion)->isEnabled());
}

} // namespace
} // namespace kavro::trainer
