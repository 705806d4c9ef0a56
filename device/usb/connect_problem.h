#pragma once
// Why a sensor could not be connected, in words that tell the user what to do. One table for
// serial and USB sensors alike; the texts become the control's status text.
#include "com/hresult.h"

#include <optional>
#include <string>

namespace kavro {

enum class ConnectProblem {
    PortMissing,
    PortInUse,
    PortNoPermission,
    NoSensorAnswers,
    UnknownModel,
    NoEvent,
    EventWithoutDistance,
    UsbMissing,
    UsbInUse,
    UsbNoPermission,
};

// `where` names the port ("COM3 (/dev/ttyUSB0)") or, for UnknownModel, the model number.
std::string connectProblemText(ConnectProblem problem, const std::string& where = {});

// The problem a failed USB open result stands for; none for other failures.
std::optional<ConnectProblem> usbOpenProblem(HRESULT openResult);

} // namespace kavro
