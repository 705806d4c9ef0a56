#pragma once
// A broadcast channel of small messages between the processes of one user, without a server:
// each listener binds a datagram socket in the channel's folder under the runtime folder, and a
// sender sends each message to every socket there. Sockets of listeners that died are removed by
// the next sender. Delivery is best effort: a listener whose queue is full misses a message, so
// a listener must be able to recover what it missed by other means (a change counter, say).
#include "com/hresult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace kavro {

// Messages larger than this are refused (they must fit one datagram).
constexpr int kMaxNoticeBytes = 60000;

class NoticeListener {
public:
    NoticeListener() = default;
    ~NoticeListener();
    NoticeListener(const NoticeListener&) = delete;
    NoticeListener& operator=(const NoticeListener&) = delete;

    // Joins `channel` (a plain name: letters, digits, '-', '_').
    HRESULT open(const QString& channel);
    void close();

    // Readable when a message waits: for poll(), QSocketNotifier and the like.
    int fd() const { return fd_; }
    // The next waiting message without blocking; false when none waits.
    bool receive(QByteArray* out);

private:
    int fd_ = -1;
    QString path_;
};

// Sends messages to every listener of one channel. It keeps its socket and the list of listeners,
// and looks at the channel's folder again only when the folder changed: a sender of many
// notices (one per file of a catalog scan) then costs one stat per message.
class NoticeSender {
public:
    NoticeSender() = default;
    ~NoticeSender();
    NoticeSender(const NoticeSender&) = delete;
    NoticeSender& operator=(const NoticeSender&) = delete;

    HRESULT open(const QString& channel);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    // S_OK also when nobody listens.
    HRESULT send(const QByteArray& message);

private:
    void refreshListeners();

    int fd_ = -1;
    QString folder_;
    QStringList listeners_;
    int64_t folderStamp_ = -1; // the folder's change time when the list was taken
};

// Sends `message` to every listener of `channel` once; S_OK also when nobody listens.
HRESULT sendNotice(const QString& channel, const QByteArray& message);

} // namespace kavro
