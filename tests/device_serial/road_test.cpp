// The whole road without hardware: the simulator plays a Vantage on a pty standing in for a COM
// port; the device control identifies it, opens the model, and the script's aimings, the silence
// and the unplugging come back as the control's events.
#include "simulated_sensor.h"

#include <QTemporaryDir>

namespace sertest {
namespace {

constexpr int kCom = 231;

const char* kScript = R"(nosignal 300
aim 0 0 200 200
wait 300
shot 400
wait 200
lose 100
nosignal 800
aim 50 -50 200 300
lose 100
nosignal 300
silence 1700
unplug 500
nosignal 3000
)";

// The events by name only, a run of NewCoordinates as one entry (how many batches there were is
// timing), a missed shot as a shot.
std::vector<std::string> eventNames(const std::vector<std::string>& events)
{
    std::vector<std::string> names;
    for (const std::string& e : events) {
        std::string name = e.substr(0, e.find(' '));
        if (name == "Missed")
            name = "Shot";
        if (!(name == "NewCoordinates" && !names.empty() && names.back() == name))
            names.push_back(std::move(name));
    }
    return names;
}

class Road : public SimulatedSensorTest {
protected:
    void SetUp() override { startSensor(kCom, "vantage", kScript); }

    CKavroDevice& control() { return *static_cast<CKavroDevice*>(device.get()); }

    // Pumps the model's window until `done` holds or `limitMs` pass.
    bool pumpUntil(const std::function<bool()>& done, int limitMs)
    {
        return devtest::pumpModelUntil(device.get(), done, limitMs);
    }
    bool seen(const std::string& e) const
    {
        const std::vector<std::string> names = eventNames(sink->events);
        return std::find(names.begin(), names.end(), e) != names.end();
    }
};

TEST_F(Road, AimingsShotsSilenceAndUnplugArriveAsEvents)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    int32_t version = 0;
    device->get_ModelVersion(&version);
    EXPECT_EQ(version, 300);

    int32_t minShots = 0;
    event->get_MinShotsPerAiming(&minShots);
    ASSERT_TRUE(pumpUntil([&] { return seen("Reconnected"); }, 15000)) << testing::PrintToString(sink->events);

    // The first aiming: settled on the centre, one shot, then the signal goes.
    std::vector<std::string> first{"StartAiming",    "NewCoordinates", "Shot",
                                   "NewCoordinates", "ConcludeAiming", "FinalConcludeAiming"};
    const std::vector<std::string> names = eventNames(sink->events);
    ASSERT_GE(names.size(), first.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 6), first);
    ASSERT_GE(sink->shots.size(), 1u);
    float result = 0;
    sink->shots[0]->get_Result(&result);
    EXPECT_GE(result, 10.0f);
    VARIANT_BOOL missed = VARIANT_TRUE;
    sink->shots[0]->get_Missed(&missed);
    EXPECT_EQ(missed, VARIANT_FALSE);

    // The second: a path to (50, -50) sensor units, lost there; the event's minimum of shots.
    ASSERT_EQ(sink->aimings.size(), 2u);
    EXPECT_EQ(sink->shots.size(), 1u + static_cast<size_t>(std::max(minShots, 0)));
    ComPtr<IAimingTrace> trace;
    sink->aimings[1]->get_Trace(trace.put());
    int32_t last = -1, count = 0;
    trace->get_Last(&last);
    trace->get_Count(&count);
    EXPECT_GE(count, 25); // 300 ms at 100/s, less what the start threshold takes
    int32_t x = 0, y = 0;
    trace->_GetPoint(last, &x, &y);
    // u = 100, v = 0 at signal 200: 1000 / 222 x 100 / 100 x 100 = 450 hundredths of a mm.
    EXPECT_NEAR(x, 450, 10);
    EXPECT_NEAR(y, 0, 10);

    // Silence, then the line goes and comes back.
    const std::vector<std::string> ev = eventNames(sink->events);
    auto at = [&](const char* e) { return std::find(ev.begin(), ev.end(), std::string(e)) - ev.begin(); };
    EXPECT_LT(at("ConcludeAiming"), at("Timeout"));
    EXPECT_LT(at("Timeout"), at("Disconnected"));
    EXPECT_LT(at("Disconnected"), at("Reconnected"));

    // The aimings go into a practice document, which is saved and read back whole.
    QTemporaryDir docDir;
    const QString docPath = docDir.filePath(QStringLiteral("road.kavro"));
    ComPtr<IKavroDocument> doc;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
    ComPtr<IAimingAttr> attr;
    ASSERT_EQ(sink->aimings[0]->get_Attr(attr.put()), S_OK);
    ComPtr<IEventParams> event;
    ASSERT_EQ(attr->get_Event(event.put()), S_OK);
    ASSERT_EQ(doc->put_Event(event.get()), S_OK);
    ComPtr<IAimingCollection> aimings;
    ASSERT_EQ(doc->get_Aimings(aimings.put()), S_OK);
    for (const auto& a : sink->aimings)
        ASSERT_EQ(aimings->Add(a.get()), S_OK);
    doc->put_ShooterName(QStringLiteral("Road"));
    doc->put_FileName(docPath);
    ASSERT_EQ(doc->Save(), S_OK);

    ComPtr<IKavroDocument> back;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &back), S_OK);
    back->put_FileName(docPath);
    ASSERT_EQ(back->Load(), S_OK);
    ComPtr<IAimingCollection> loaded;
    ASSERT_EQ(back->get_Aimings(loaded.put()), S_OK);
    int32_t aimingCount = 0;
    loaded->get_Count(&aimingCount);
    EXPECT_EQ(aimingCount, 2);
    ComPtr<IShotCollection> shots;
    ASSERT_EQ(loaded->Shots(VARIANT_TRUE, shots.put()), S_OK);
    int32_t shotCount = 0;
    shots->get_Count(&shotCount);
    EXPECT_EQ(static_cast<size_t>(shotCount), sink->shots.size());
    ComPtr<IShot> firstShot;
    ASSERT_EQ(shots->get_Item(1, firstShot.put()), S_OK);
    float loadedResult = 0;
    firstShot->get_Result(&loadedResult);
    EXPECT_EQ(loadedResult, result);
    ComPtr<IAiming> second;
    ASSERT_EQ(loaded->get_Item(2, second.put()), S_OK);
    ComPtr<IAimingTrace> loadedTrace;
    ASSERT_EQ(second->get_Trace(loadedTrace.put()), S_OK);
    int32_t loadedLast = -1, lx = 0, ly = 0;
    loadedTrace->get_Last(&loadedLast);
    EXPECT_EQ(loadedLast, last);
    loadedTrace->_GetPoint(loadedLast, &lx, &ly);
    EXPECT_EQ(lx, x);
    EXPECT_EQ(ly, y);
}

} // namespace
} // namespace sertest
