#pragma once
// The parameters with which the open document's shots are evaluated, and the state of the dialog
// that edits them: field texts, spin positions and the check on OK.
#include "target_kind.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace kavro::trainer {

struct ShotsParameters {
    float dispersion = 0.0f; // mm, simulated bullet dispersion (0 = off)
    float shotMoment = 0.0f; // s, moment of the shot relative to the detected one (0 = off)
    int fCoefficient = 0;
    float controlInterval = 1.0f; // s of trace shown before the shot
    int controlInterval2 = 2; // s
    int coincideGrouping = 0; // check state 0..2: groups centred on the target

    bool operator==(const ShotsParameters&) const = default;
};

enum class ShotsField { FCoefficient, Dispersion, ShotMoment, ControlInterval, ControlInterval2 };
constexpr int kShotsFieldCount = 5;

// Resource ids of the dialog and its controls.
constexpr uint16_t IDD_SHOTS_PARAMETERS = 249;
constexpr uint16_t IDC_COINCIDE_GROUPING = 1065;
constexpr uint16_t IDC_RANGE_HINT = 1200; // the line that tells which values a field allows

struct ShotsFieldInfo {
    ShotsField field;
    uint16_t editId;
    uint16_t spinId;
    bool isFloat;
    double min, max; // accepted on OK
    int spinMin, spinMax;
    int spinScale; // spin position = value x scale
};

const ShotsFieldInfo& shotsFieldInfo(ShotsField field);

class ShotsParametersForm {
public:
    // A biathlon target evaluates shots without shot moment and group centring.
    ShotsParametersForm(const ShotsParameters& values, int targetKind);

    const QString& text(ShotsField field) const { return texts_[index(field)]; }
    void setText(ShotsField field, const QString& text) { texts_[index(field)] = text; }
    int checkState() const { return checkState_; }
    void setCheckState(int state) { checkState_ = state; }
    bool shotMomentEditable() const { return targetKind_ != TargetKind::Biathlon; }
    bool coincideEditable() const { return targetKind_ != TargetKind::Biathlon; }

    // The spin's position that the field's text gives, within the spin's range (0 when the text
    // is no number).
    int spinPosition(ShotsField field) const;
    // The spin was moved: the field shows its value.
    void moveSpin(ShotsField field, int position);

    // The values when every field holds a number in its range; otherwise the first field, in
    // the order of checkFailure, that does not.
    std::optional<ShotsParameters> accept(ShotsField* failed = nullptr) const;

private:
    static size_t index(ShotsField f) { return static_cast<size_t>(f); }

    int targetKind_;
    std::array<QString, kShotsFieldCount> texts_;
    int checkState_;
};

// The text of the range hint for a refused field ("... from 0 to 50").
QString shotsRangeHint(ShotsField field);

} // namespace kavro::trainer
