// The shared module as the trainer meets it: found by class id in the program's folder, with no
// code of its own linked into the caller.
#include "com/classregistry.h"
#include "com/connection.h"
#include "kavrodev.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceModule, TheControlIsMadeByClassIdFromTheSharedModule)
{
    qputenv("KAVRO_MODULE_DIR", KAVRO_BIN_DIR);
    ComPtr<IKavroDevice> device;
    ASSERT_EQ(createInstance(kavrodev::CLSID_KavroDevice, &device), S_OK);
    int32_t rate = 0;
    ASSERT_EQ(device->get_SampleRate(&rate), S_OK);
    EXPECT_EQ(rate, 200);
    ComPtr<IConnectionPointContainer> container = device.query<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(_IKavroDeviceEvents::iid, point.put()), S_OK);
    // The event it holds is made by the document module, found the same way.
    ComPtr<IEventParams> event;
    EXPECT_EQ(device->get_Event(1, event.put()), S_OK);
    EXPECT_TRUE(event);
}

} // namespace
