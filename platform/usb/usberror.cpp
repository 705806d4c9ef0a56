#include "usberror.h"

#include <libusb.h>

namespace kavro {

HRESULT hresultFromLibusbError(int libusbError)
{
    switch (libusbError) {
    case LIBUSB_SUCCESS: return S_OK;
    case LIBUSB_ERROR_INVALID_PARAM: return E_INVALIDARG;
    case LIBUSB_ERROR_ACCESS: return E_ACCESSDENIED;
    case LIBUSB_ERROR_NO_DEVICE: return USB_E_NOT_CONNECTED;
    case LIBUSB_ERROR_NOT_FOUND: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case LIBUSB_ERROR_BUSY: return HRESULT_FROM_WIN32(ERROR_BUSY);
    case LIBUSB_ERROR_TIMEOUT: return USB_E_TIMEOUT;
    // A stall, a babble and a bus error all reach a WinUSB caller as a general failure.
    case LIBUSB_ERROR_IO:
    case LIBUSB_ERROR_OVERFLOW:
    case LIBUSB_ERROR_PIPE: return USB_E_IO;
    case LIBUSB_ERROR_INTERRUPTED: return USB_E_ABORTED;
    case LIBUSB_ERROR_NO_MEM: return E_OUTOFMEMORY;
    case LIBUSB_ERROR_NOT_SUPPORTED: return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    default: return E_FAIL;
    }
}

HRESULT hresultFromTransferStatus(int transferStatus)
{
    switch (transferStatus) {
    case LIBUSB_TRANSFER_COMPLETED: return S_OK;
    case LIBUSB_TRANSFER_TIMED_OUT: return USB_E_TIMEOUT;
    case LIBUSB_TRANSFER_CANCELLED: return USB_E_ABORTED;
    case LIBUSB_TRANSFER_NO_DEVICE: return USB_E_NOT_CONNECTED;
    case LIBUSB_TRANSFER_ERROR:
    case LIBUSB_TRANSFER_STALL:
    case LIBUSB_TRANSFER_OVERFLOW: return USB_E_IO;
    default: return E_FAIL;
    }
}

} // namespace kavro
