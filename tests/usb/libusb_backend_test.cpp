#include "usb/libusbbackend.h"
#include "usb/usberror.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <cctype>
#include <cstdio>

namespace kavro {
namespace {

// "usb:<bus>-<port>[.<port>...]:" followed by the ids.
bool wellFormedPath(const std::string& path, const std::string& ids)
{
    if (path.rfind("usb:", 0) != 0 || path.size() < ids.size() + 7
        || path.compare(path.size() - ids.size(), ids.size(), ids) != 0)
        return false;
    std::string location = path.substr(4, path.size() - 4 - ids.size());
    size_t dash = location.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == location.size())
        return false;
    char previous = '-';
    for (size_t i = 0; i < location.size(); ++i) {
        char ch = location[i];
        bool digit = std::isdigit(static_cast<unsigned char>(ch)) != 0;
        bool separator = i > dash ? ch == '.' : i == dash;
        if (!digit && !separator)
            return false;
        if (separator && (previous == '.' || previous == '-') && i != dash)
            return false;
        previous = ch;
    }
    return std::isdigit(static_cast<unsigned char>(previous)) != 0;
}

TEST(UsbPath, ShapeCheckerRejectsMalformedPaths)
{
    EXPECT_TRUE(wellFormedPath("usb:1-2.4:1d6b:0002", ":1d6b:0002"));
    EXPECT_TRUE(wellFormedPath("usb:12-0:1d6b:0002", ":1d6b:0002"));
    EXPECT_FALSE(wellFormedPath("usb:1-2.:1d6b:0002", ":1d6b:0002"));
    EXPECT_FALSE(wellFormedPath("usb:-2:1d6b:0002", ":1d6b:0002"));
    EXPECT_FALSE(wellFormedPath("usb:1-2:1d6b:0003", ":1d6b:0002"));
}

TEST(UsbErrors, LibusbErrorsMapToWindowsResults)
{
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_SUCCESS), S_OK);
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_NO_DEVICE), static_cast<HRESULT>(0x8007048Fu));
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_TIMEOUT), static_cast<HRESULT>(0x80070079u));
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_PIPE), static_cast<HRESULT>(0x8007001Fu));
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_IO), USB_E_IO);
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_OVERFLOW), USB_E_IO);
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_ACCESS), E_ACCESSDENIED);
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_NOT_FOUND), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_BUSY), HRESULT_FROM_WIN32(170));
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_INVALID_PARAM), E_INVALIDARG);
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_NO_MEM), E_OUTOFMEMORY);
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_INTERRUPTED), HRESULT_FROM_WIN32(995));
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_NOT_SUPPORTED), HRESULT_FROM_WIN32(50));
    EXPECT_EQ(hresultFromLibusbError(LIBUSB_ERROR_OTHER), E_FAIL);
    EXPECT_EQ(hresultFromLibusbError(-1234), E_FAIL);

    EXPECT_EQ(hresultFromTransferStatus(LIBUSB_TRANSFER_COMPLETED), S_OK);
    EXPECT_EQ(hresultFromTransferStatus(LIBUSB_TRANSFER_NO_DEVICE), USB_E_NOT_CONNECTED);
    EXPECT_EQ(hresultFromTransferStatus(LIBUSB_TRANSFER_TIMED_OUT), USB_E_TIMEOUT);
    EXPECT_EQ(hresultFromTransferStatus(LIBUSB_TRANSFER_CANCELLED), HRESULT_FROM_WIN32(995));
    EXPECT_EQ(hresultFromTransferStatus(LIBUSB_TRANSFER_STALL), HRESULT_FROM_WIN32(31));
    EXPECT_EQ(hresultFromTransferStatus(LIBUSB_TRANSFER_ERROR), HRESULT_FROM_WIN32(31));
    EXPECT_EQ(hresultFromTransferStatus(LIBUSB_TRANSFER_OVERFLOW), HRESULT_FROM_WIN32(31));
}

// The machine may have no USB at all (a container), no devices, or some: each is fine, as long
// as the answers are consistent and well formed.
TEST(LibusbBackend, EnumeratesWhateverTheMachineHas)
{
    LibusbBackend backend;
    std::vector<UsbDeviceInfo> found{{"stale", 1, 2, "x"}};
    HRESULT hr = backend.enumerate({}, &found);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(backend.enumerate({}, nullptr), E_POINTER);

    // Root hubs are the devices most machines with USB have.
    UsbDeviceTable hubs;
    for (uint16_t pid : {1, 2, 3})
        hubs.push_back({0x1d6b, pid, "hub"});
    HRESULT hubsHr = backend.enumerate(hubs, &found);
    EXPECT_EQ(hubsHr, hr);
    if (FAILED(hubsHr)) {
        EXPECT_TRUE(found.empty());
        return;
    }
    for (size_t i = 0; i < found.size(); ++i) {
        char ids[16];
        std::snprintf(ids, sizeof ids, ":1d6b:%04x", found[i].productId);
        EXPECT_TRUE(wellFormedPath(found[i].path, ids)) << found[i].path;
        EXPECT_EQ(found[i].vendorId, 0x1d6b);
        EXPECT_EQ(found[i].className, "hub");
        if (i > 0) {
            EXPECT_LT(found[i - 1].path, found[i].path);
        }
    }
    std::vector<UsbDeviceInfo> again;
    ASSERT_EQ(backend.enumerate(hubs, &again), S_OK);
    ASSERT_EQ(again.size(), found.size());
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(again[i].path, found[i].path);
}

TEST(LibusbBackend, OpeningAnAbsentPathFails)
{
    LibusbBackend backend;
    std::unique_ptr<UsbConnection> connection;
    HRESULT hr = backend.open("usb:250-9.9.9:ffff:ffff", &connection);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_FALSE(connection);
    std::vector<UsbDeviceInfo> none;
    if (SUCCEEDED(backend.enumerate({}, &none))) {
        EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
}

} // namespace
} // namespace kavro
