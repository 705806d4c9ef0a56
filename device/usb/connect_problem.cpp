#include "device/usb/connect_problem.h"

#include "usb/usberror.h"

namespace kavro {

std::string connectProblemText(ConnectProblem problem, const std::string& where)
{
    switch (problem) {
    case ConnectProblem::PortMissing:
        return "There is no serial port " + where
            + ". Plug in the sensor's cable and choose the port it is connected to.";
    case ConnectProblem::PortInUse:
        return "The serial port " + where + " is in use by another program. Close that program, then connect again.";
    case ConnectProblem::PortNoPermission:
        return "You have no permission to use the serial port " + where
            + ". Add your user to the dialout group (sudo usermod -aG dialout $USER), log out and in"
              " again, then connect again.";
    case ConnectProblem::NoSensorAnswers:
        return "No sensor answers on the serial port " + where
            + ". Check that the sensor is switched on and connected to this port.";
    case ConnectProblem::UnknownModel:
        return "The connected sensor (model " + where + ") is not supported by this program.";
    case ConnectProblem::NoEvent: return "No shooting event is chosen. Choose the event before connecting the sensor.";
    case ConnectProblem::EventWithoutDistance:
        return "The chosen shooting event has no shooting distance. Choose another event.";
    case ConnectProblem::UsbMissing:
        return "Error opening device: the USB sensor is not connected. Plug it in, then connect again.";
    case ConnectProblem::UsbInUse:
        return "Error opening device: another program is using the USB sensor. Close that program,"
               " then connect again.";
    case ConnectProblem::UsbNoPermission:
        return "Error opening device: you have no permission to use the USB sensor. Install the udev"
               " rule 60-kavro-usb.rules as its README says, then unplug the sensor and plug it in again.";
    }
    return {};
}

std::optional<ConnectProblem> usbOpenProblem(HRESULT openResult)
{
    if (openResult == E_ACCESSDENIED)
        return ConnectProblem::UsbNoPermission;
    if (openResult == HRESULT_FROM_WIN32(ERROR_BUSY))
        return ConnectProblem::UsbInUse;
    if (openResult == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || openResult == USB_E_NOT_CONNECTED)
        return ConnectProblem::UsbMissing;
    return std::nullopt;
}

} // namespace kavro
