#pragma once
// Live notifications to other programs of the same user: a local socket where listeners register
// and then receive one line per practice event. Posting only queues: a listener that does not read
// loses lines beyond its queue's limit, the trainer never waits for it.
#include "live/live_path.h"
#include "live/live_wire.h"

#include "com/hresult.h"

#include <QObject>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace kavro::live {

class LiveServer : public QObject {
    Q_OBJECT
public:
    explicit LiveServer(QObject* parent = nullptr);
    ~LiveServer() override;

    // Listens at `path` with a socket file only this user may use. A socket left by a trainer that
    // died is replaced; one that answers belongs to a running trainer and is left to it.
    bool listen(const QString& path);
    QString path() const { return path_; }
    QString errorString() const { return error_; }

    // Queues one message to every registered listener that subscribes to it, in registration order.
    void post(Message m, int32_t wParam, uint32_t lParam);
    // Queues lines already formatted (each ending in "\n") to every listener of the trace stream.
    void postTrace(const std::vector<QByteArray>& lines);

    bool hasTraceListeners() const;
    int registeredCount() const { return static_cast<int>(registered_.size()); }
    // Lines queued and not yet handed to the socket, over all connections (tests, benchmarks).
    size_t pendingLines() const;

signals:
    // A listener registered, re-registered or unregistered (tests wait for it).
    void registrationChanged();

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(Connection* c);
    void handleLine(Connection* c, QByteArrayView line);
    void setFlags(Connection* c, int32_t flags);
    void enqueue(Connection* c, const QByteArray& line);
    void flush(Connection* c);
    void drop(Connection* c);

    QLocalServer* server_;
    QString path_;
    QString error_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<Connection*> registered_; // in the order of their first registration
};

} // namespace kavro::live
