#pragma once
// The serial sensor models the simulator can stand in for.
#include <cstdint>
#include <span>
#include <string_view>

namespace kavro::serialsim {

enum class FrameKind { Vantage, Classic, Biathlon };

struct SensorModel {
    std::string_view key; // --model value
    int number; // model number of the banner
    std::string_view name; // model name of the banner
    FrameKind frames;
    int frameLength;
    int counterModulus;
    uint8_t startCommand; // 13 starts with non-zero arguments and stops with zeros; 8 starts
    uint8_t stopCommand; // 0: the start command with zero arguments stops
};

std::span<const SensorModel> sensorModels();
const SensorModel* findSensorModel(std::string_view key);
const SensorModel* findSensorModel(int number);

} // namespace kavro::serialsim
