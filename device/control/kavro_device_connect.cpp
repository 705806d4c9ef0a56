// Choosing, starting and stopping the device model, and the windows it runs on.
#include "device/control/kavro_device.h"

#include "device/model/generic_kavro.h"
#include "device/usb/connect_problem.h"
#include "device/model/model_factory.h"
#include "serial/com_port_map.h"
#include "serial/serial_port.h"

namespace kavro {

HRESULT CKavroDevice::checkEvents()
{
    // The models divide by the shooting distance; an event without one cannot be shot at. Every
    // model scores against sub-device 1's event only: an empty event that merely reading
    // Event(2) created must not block the connect.
    const SubDeviceSettings& s = sub(1);
    if (!s.event)
        return S_OK;
    float distance = 0;
    if (FAILED(s.event->get_Distance(&distance)) || !(distance > 0))
        return failConnect(ConnectProblem::EventWithoutDistance);
    return S_OK;
}

std::unique_ptr<CGenericKavro> CKavroDevice::chooseUsbModel()
{
    const UsbModelEntry entry = models::usbModel(models::classOfPath(devicePath_));
    ident_.setModelName(entry.modelName.toLatin1().constData());
    modelVersion_ = entry.modelNumber;
    if (!entry.create)
        return nullptr;
    return entry.create(*this, devicePath_);
}

HRESULT CKavroDevice::chooseSerialModel(std::unique_ptr<CGenericKavro>* out)
{
    auto port = std::make_unique<SerialPort>();
    const QString path = ComPortMap::shared().devicePath(commPort_);
    const std::string where = path.isEmpty() ? "COM" + std::to_string(commPort_)
                                             : "COM" + std::to_string(commPort_) + " (" + path.toStdString() + ")";
    if (FAILED(port->openCom(commPort_))) {
        switch (port->openProblem()) {
        case PortOpenProblem::InUse: return failConnect(ConnectProblem::PortInUse, where);
        case PortOpenProblem::NoPermission: return failConnect(ConnectProblem::PortNoPermission, where);
        default: return failConnect(ConnectProblem::PortMissing, where);
        }
    }
    if (!models::identify(*port, ident_))
        return failConnect(ConnectProblem::NoSensorAnswers, where);
    // A serial model scores against the event of sub-device 1 from its first sample.
    if (!subs_[0].event)
        return failConnect(ConnectProblem::NoEvent);
    SerialModelFactory create = models::serialModel(ident_.modelNumber);
    if (!create)
        return failConnect(ConnectProblem::UnknownModel, std::to_string(ident_.modelNumber));
    // The model owns the port from here; a model that could not be made has closed it.
    *out = create(*this, std::move(port));
    if (!*out)
        return E_FAIL;
    modelVersion_ = ident_.modelNumber;
    return S_OK;
}

HRESULT CKavroDevice::failConnect(ConnectProblem problem, const std::string& where)
{
    statusText_ = QString::fromStdString(connectProblemText(problem, where));
    return problem == ConnectProblem::EventWithoutDistance ? E_UNEXPECTED : E_FAIL;
}

HRESULT CKavroDevice::connect()
{
    statusText_.clear();
    if (model_)
        return S_OK;
    freeRetired();
    reader_.setSampleRate(sampleRate_);
    if (HRESULT hr = checkEvents(); FAILED(hr))
        return hr;

    std::unique_ptr<CGenericKavro> model;
    if (!devicePath_.isEmpty()) {
        model = chooseUsbModel();
        if (!model)
            return E_FAIL;
    } else if (HRESULT hr = chooseSerialModel(&model); FAILED(hr)) {
        return hr;
    }

    if (!model->Open()) {
        model->Close();
        return E_FAIL;
    }
    model_ = std::move(model);
    for (int32_t n : {1, 2}) {
        model_->SetPiezoSensitivity(n, sub(n).piezoSensitivity);
        model_->SetSubTarget(n, sub(n).subTarget);
    }
    if (model_->HasSemaphore())
        model_->SetSemaphore(semaphore_);
    return S_OK;
}

void CKavroDevice::disconnect()
{
    if (!model_)
        return;
    std::unique_ptr<CGenericKavro> model = std::move(model_);
    if (model->HasSemaphore())
        model->SetSemaphore(SemaphoreOff);
    model->Close();
    retire(std::move(model));
}

HRESULT CKavroDevice::LookupDevice(VARIANT_BOOL* found)
{
    if (!found)
        return E_POINTER;
    *found = VARIANT_FALSE;
    if (model_)
        return E_UNEXPECTED;
    SerialPort port;
    if (FAILED(port.openCom(commPort_)))
        return S_OK;
    *found = toVariantBool(models::identify(port, ident_));
    port.close();
    return S_OK;
}

std::unique_ptr<ControlQueue> CKavroDevice::MakeQueue(QueueHandler handler)
{
    return env_.makeQueue([this, handler = std::move(handler)](const QueueMessage& msg) {
        // Closed models are only freed between messages: a sink may disconnect the device
        // while its model is still inside this handler.
        if (dispatchDepth_ == 0)
            freeRetired();
        ++dispatchDepth_;
        handler(msg);
        --dispatchDepth_;
    });
}

void CKavroDevice::retire(std::unique_ptr<CGenericKavro> model)
{
    retired_.push_back(std::move(model));
    if (dispatchDepth_ == 0)
        freeRetired();
}

void CKavroDevice::freeRetired()
{
    std::vector<std::unique_ptr<CGenericKavro>> old;
    old.swap(retired_);
}

} // namespace kavro
