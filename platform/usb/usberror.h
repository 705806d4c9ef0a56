#pragma once
// USB failures as the result codes a WinUSB caller would have seen, so that the device classes
// can apply their error rules to the numbers they were written for.
#include "com/hresult.h"

namespace kavro {

constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_BAD_COMMAND = 22;
constexpr uint32_t ERROR_GEN_FAILURE = 31;
constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t ERROR_SEM_TIMEOUT = 121;
constexpr uint32_t ERROR_BUSY = 170;
constexpr uint32_t ERROR_OPERATION_ABORTED = 995;
constexpr uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;

constexpr HRESULT USB_E_NOT_CONNECTED = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
constexpr HRESULT USB_E_TIMEOUT = HRESULT_FROM_WIN32(ERROR_SEM_TIMEOUT);
constexpr HRESULT USB_E_IO = HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
constexpr HRESULT USB_E_ABORTED = HRESULT_FROM_WIN32(ERROR_OPERATION_ABORTED);

// A libusb_error code (0 or negative) as an HRESULT.
HRESULT hresultFromLibusbError(int libusbError);
// A libusb_transfer_status as an HRESULT (LIBUSB_TRANSFER_COMPLETED is S_OK).
HRESULT hresultFromTransferStatus(int transferStatus);

} // namespace kavro
