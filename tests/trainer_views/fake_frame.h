#pragma once
// A frame and a sensor as the views see them: connected or not, match running or not, and the
// sensor's pulse and trigger abilities. Installed as the current frame while a test runs.
#include "main_frame_base.h"
#include "support/fake_device.h"

#include <QPoint>

class FakeFrame final : public CMainFrameBase {
public:
    bool connected = false;
    bool matchStarted = false;
    ComPtr<kavro::trainer::test::FakeDevice> device = kavro::trainer::test::FakeDevice::create();

    FakeFrame() { CMainFrameBase::setCurrent(this); }
    ~FakeFrame() override { CMainFrameBase::setCurrent(nullptr); }

    QWidget* GetWindow() override { return nullptr; }
    QStatusBar* GetStatusBar() override { return nullptr; }
    QProgressBar* GetProgressBar() override { return nullptr; }
    void BeginProgress(int) override { }
    void EndProgress() override { }
    uint32_t* GetActivityTick() override { return &tick_; }
    TargetKind::Kind GetTargetKind() override { return TargetKind::Ordinary; }
    bool IsDeviceConnected() override { return connected; }
    bool IsMatchStarted() override { return matchStarted; }
    ComPtr<IKavroDevice> GetDevice() override { return connected ? ComPtr<IKavroDevice>(device.get()) : nullptr; }
    void ShowShotContextMenu(const QPoint& at) override
    {
        ++shotMenus;
        shotMenuAt = at;
    }
    int shotMenus = 0;
    QPoint shotMenuAt;

private:
    uint32_t tick_ = 0;
};
