#pragma once
// The "Shots parameters" dialog over its form.
#include "shots_parameters.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace kavro::trainer {

class SpinButtons;

class CShotsParametersDlg final : public QDialog {
    Q_OBJECT
public:
    CShotsParametersDlg(const ShotsParameters& values, int targetKind, QWidget* parent = nullptr);

    // Valid after the dialog was accepted.
    const ShotsParameters& values() const { return values_; }

    QLineEdit* edit(ShotsField field) const { return edits_[size_t(field)]; }
    SpinButtons* spin(ShotsField field) const { return spins_[size_t(field)]; }
    QCheckBox* coincideBox() const { return coincide_; }
    QLabel* rangeHint() const { return hint_; }

public slots:
    void accept() override;

private:
    ShotsParametersForm form_;
    ShotsParameters values_;
    std::array<QLineEdit*, kShotsFieldCount> edits_{};
    std::array<SpinButtons*, kShotsFieldCount> spins_{};
    QCheckBox* coincide_ = nullptr;
    QLabel* hint_ = nullptr;
};

// Runs the dialog on `values`; true, with the accepted values in `values`, after OK. The caller
// hands them to the document wrapper.
bool runShotsParametersDialog(QWidget* parent, int targetKind, ShotsParameters* values);

} // namespace kavro::trainer
