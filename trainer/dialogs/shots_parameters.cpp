#include "shots_parameters.h"

#include "number_text.h"
#include "res_strings.h"

#include <algorithm>
#include <cmath>

namespace kavro::trainer {

namespace {

const std::array<ShotsFieldInfo, kShotsFieldCount> kFieldInfo = {{
    {ShotsField::FCoefficient, 1066, 1071, false, 0, 500, 0, 500, 1},
    {ShotsField::Dispersion, 1073, 1069, true, 0, 50, 0, 500, 10},
    {ShotsField::ShotMoment, 1074, 1070, true, -5, 0.5, -500, 50, 100},
    {ShotsField::ControlInterval, 1067, 1072, true, 0.1, 5, 1, 100, 10},
    {ShotsField::ControlInterval2, 1103, 1104, false, 1, 5, 1, 100, 1},
}};

const std::array<ShotsField, kShotsFieldCount> kCheckOrder = {
    ShotsField::FCoefficient,    ShotsField::Dispersion,       ShotsField::ShotMoment,
    ShotsField::ControlInterval, ShotsField::ControlInterval2,
};

std::optional<double> fieldValue(const ShotsFieldInfo& info, const QString& text)
{
    if (info.isFloat)
        return parseDecimal(text);
    if (const auto v = parseInteger(text))
        return double(*v);
    return std::nullopt;
}

} // namespace

const ShotsFieldInfo& shotsFieldInfo(ShotsField field)
{
    return kFieldInfo[static_cast<size_t>(field)];
}

ShotsParametersForm::ShotsParametersForm(const ShotsParameters& values, int targetKind)
    : targetKind_(targetKind),
      checkState_(values.coincideGrouping >= 0 && values.coincideGrouping <= 2 ? values.coincideGrouping : 0)
{
    setText(ShotsField::Dispersion, formatSignificant(values.dispersion));
    setText(ShotsField::ShotMoment, formatSignificant(values.shotMoment));
    setText(ShotsField::FCoefficient, QString::number(values.fCoefficient));
    setText(ShotsField::ControlInterval, formatSignificant(values.controlInterval));
    setText(ShotsField::ControlInterval2, QString::number(values.controlInterval2));
}

int ShotsParametersForm::spinPosition(ShotsField field) const
{
    const ShotsFieldInfo& info = shotsFieldInfo(field);
    const auto v = fieldValue(info, text(field));
    if (!v)
        return std::clamp(0, info.spinMin, info.spinMax);
    const double scaled = std::round(*v * info.spinScale);
    return int(std::clamp(scaled, double(info.spinMin), double(info.spinMax)));
}

void ShotsParametersForm::moveSpin(ShotsField field, int position)
{
    const ShotsFieldInfo& info = shotsFieldInfo(field);
    position = std::clamp(position, info.spinMin, info.spinMax);
    setText(field,
            info.spinScale == 1 ? QString::number(position) : formatSignificant(double(position) / info.spinScale));
}

std::optional<ShotsParameters> ShotsParametersForm::accept(ShotsField* failed) const
{
    ShotsParameters out;
    out.coincideGrouping = checkState_;
    for (ShotsField field : kCheckOrder) {
        const ShotsFieldInfo& info = shotsFieldInfo(field);
        const auto v = fieldValue(info, text(field));
        if (!v || *v < info.min || *v > info.max) {
            if (failed)
                *failed = field;
            return std::nullopt;
        }
        switch (field) {
        case ShotsField::FCoefficient: out.fCoefficient = int(*v); break;
        case ShotsField::Dispersion: out.dispersion = float(*v); break;
        case ShotsField::ShotMoment: out.shotMoment = float(*v); break;
        case ShotsField::ControlInterval: out.controlInterval = float(*v); break;
        case ShotsField::ControlInterval2: out.controlInterval2 = int(*v); break;
        }
    }
    return out;
}

QString shotsRangeHint(ShotsField field)
{
    const ShotsFieldInfo& info = shotsFieldInfo(field);
    return LoadResString(dialogTextId(IDD_SHOTS_PARAMETERS, IDC_RANGE_HINT))
        .arg(formatSignificant(info.min), formatSignificant(info.max));
}

} // namespace kavro::trainer
