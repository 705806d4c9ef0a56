#include "serialsim/models.h"

#include <array>

namespace kavro::serialsim {

namespace {

constexpr std::array<SensorModel, 5> models{{
    {"vantage", 300, "Vantage", FrameKind::Vantage, 8, 256, 13, 0},
    {"vantagei", 302, "Vantage i", FrameKind::Vantage, 8, 256, 13, 0},
    {"vantages", 303, "Vantage s", FrameKind::Vantage, 8, 256, 13, 0},
    {"classic", 306, "Classic", FrameKind::Classic, 10, 16, 13, 0},
    {"biathlon", 307, "Biathlon", FrameKind::Biathlon, 28, 32, 8, 9},
}};

} // namespace

std::span<const SensorModel> sensorModels()
{
    return models;
}

const SensorModel* findSensorModel(std::string_view key)
{
    for (const SensorModel& m : models)
        if (m.key == key)
            return &m;
    return nullptr;
}

const SensorModel* findSensorModel(int number)
{
    for (const SensorModel& m : models)
        if (m.number == number)
            return &m;
    return nullptr;
}

} // namespace kavro::serialsim
