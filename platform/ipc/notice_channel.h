#pragma once
// A broadcast channel of small messages between the processes of one user, without a server:
// each listener binds a datagram socket in the channel's folder under the runtime folder, and a
// sender sends each message to every socket there. Sockets of listeners that died are removed by
// the next sender. A listener whose queue is full misses messages; it is never left unaware of
// that: the sender leaves a mark beside the listener's socket, which the listener finds once it
// has read what did arrive, and then recovers what it missed by other means (a change counter).
#include "com/hresult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

struct stat;

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
    // Whether messages were lost since the last call because this listener's queue was full.
    // Ask once receive() found nothing more: the mark is left only after a message failed.
    bool takeMissed();

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
    bool statFolder(struct stat* st);
    void refreshListeners();

    int fd_ = -1;
    int folderFd_ = -1;
    QString folder_;
    QStringList listeners_;
    int64_t folderStamp_ = -1; // the folder's change time when the list was taken
};

// Sends `message` to every listener of `channel` once; S_OK also when nobody listens.
HRESULT sendNotice(const QString& channel, const QByteArray& message);

} // namespace kavro
