#pragma once
// The service's tray icon: idle, scanning and change-seen pictures of our own drawing, the tip
// with the live document count, and a menu with Quit. Shown only while the desktop has a tray.
#include "catalog_indexer.h"

#include <QIcon>
#include <QObject>

#include <atomic>

class QSystemTrayIcon;
class QMenu;
class QTimer;

namespace kavro::catalog {

QIcon trayStateIcon(TrayState state);

class TrayIcon : public QObject {
public:
    explicit TrayIcon(QString catalogFolder, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Thread-safe: queued onto the tray's thread. Ignored once `stopping` was called.
    void postStatus(TrayState state, uint32_t liveDocuments);
    void stopping();

private:
    void show(TrayState state, uint32_t liveDocuments);
    void ensureShown();

    QString folder_;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* menu_ = nullptr;
    QTimer* probe_ = nullptr;
    TrayState state_ = TrayState::Idle;
    uint32_t documents_ = 0;
    std::atomic<bool> stopping_{false};
};

} // namespace kavro::catalog
