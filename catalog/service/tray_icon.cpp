#include "tray_icon.h"

#include "catalog_root.h"
#include "shell/shell_execute.h"
#include "shell/shell_root.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace kavro::catalog {

QIcon trayStateIcon(TrayState state)
{
    QIcon icon;
    for (int size : {16, 22, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        // A target: a white face with a black centre, as the catalog holds practices.
        p.setPen(QPen(Qt::black, s / 16));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(s * 0.28, s * 0.28, s * 0.44, s * 0.44));
        if (state == TrayState::Scanning) {
            // A green sweep: the catalog is being read.
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 170, 60, 200));
            p.drawPie(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88), 90 * 16, -120 * 16);
        } else if (state == TrayState::ChangeSeen) {
            // An orange mark: changes wait to be read.
            p.setPen(QPen(Qt::white, s / 16));
            p.setBrush(QColor(235, 130, 20));
            p.drawEllipse(QRectF(s * 0.5, s * 0.5, s * 0.48, s * 0.48));
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

TrayIcon::TrayIcon(QString catalogFolder, QObject* parent) : QObject(parent), folder_(std::move(catalogFolder))
{
    ensureShown();
    // The desktop may bring its tray later (a panel restarted): look again now and then.
    probe_ = new QTimer(this);
    connect(probe_, &QTimer::timeout, this, [this] { ensureShown(); });
    probe_->start(5000);
}

TrayIcon::~TrayIcon()
{
    delete menu_;
}

void TrayIcon::ensureShown()
{
    if (tray_ || stopping_ || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray_ = new QSystemTrayIcon(this);
    menu_ = new QMenu();
    menu_->addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);
    tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [](QSystemTrayIcon::ActivationReason reason) {
        // "Explore" on the catalog's absolute ID: our shell's browser window.
        if (reason == QSystemTrayIcon::DoubleClick) {
            kavro::shell::IdList root(GetCatalogRootIdList());
            kavro::shell::ShellExecuteOpenFolder(root.get());
        }
    });
    show(state_, documents_);
    tray_->show();
}

void TrayIcon::postStatus(TrayState state, uint32_t liveDocuments)
{
    if (stopping_)
        return;
    QMetaObject::invokeMethod(
        this, [this, state, liveDocuments] { show(state, liveDocuments); }, Qt::QueuedConnection);
}

void TrayIcon::stopping()
{
    stopping_ = true;
}

void TrayIcon::show(TrayState state, uint32_t liveDocuments)
{
    if (stopping_)
        return;
    const bool iconChanged = state != state_ || !tray_ || tray_->icon().isNull();
    state_ = state;
    documents_ = liveDocuments;
    if (!tray_)
        return;
    if (iconChanged)
        tray_->setIcon(trayStateIcon(state));
    tray_->setToolTip(trayTip(state, liveDocuments));
}

} // namespace kavro::catalog
