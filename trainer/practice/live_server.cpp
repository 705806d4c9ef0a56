#include "live_server.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace kavro::live {

namespace {

// Bytes handed to the socket at a time; the rest waits in the listener's line queue.
constexpr qint64 kSocketBudget = 64 * 1024;

} // namespace

struct LiveServer::Connection {
    QLocalSocket* socket = nullptr;
    QByteArray input;
    std::deque<QByteArray> queue;
    int32_t flags = 0;
};

LiveServer::LiveServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &LiveServer::onNewConnection);
}

LiveServer::~LiveServer()
{
    registered_.clear();
    // The program ends: what was posted last (the practice's stop among it) still goes out, as far
    // as the sockets take it now; a listener that does not read is not waited for.
    for (auto& c : connections_) {
        c->socket->disconnect(this);
        if (!c->queue.empty()) {
            QByteArray rest;
            for (const QByteArray& line : c->queue)
                rest += line;
            c->socket->write(rest);
        }
        c->socket->flush();
    }
    connections_.clear();
}

bool LiveServer::listen(const QString& path)
{
    path_ = path;
    // Qt puts its socket in place by renaming over whatever is there, so an existing file is
    // judged first: only a socket of our own that nobody answers on may go.
    const QByteArray native = QFile::encodeName(path);
    struct stat st { };
    if (::lstat(native.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()) {
            error_ = tr("%1 exists and is no socket of this user").arg(path);
            return false;
        }
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(200)) {
            error_ = tr("Another trainer already listens at %1").arg(path);
            return false;
        }
        ::unlink(native.constData());
    }
    if (server_->listen(path))
        return true;
    error_ = server_->errorString();
    return false;
}

void LiveServer::onNewConnection()
{
    while (QLocalSocket* s = server_->nextPendingConnection()) {
        auto c = std::make_unique<Connection>();
        c->socket = s;
        Connection* raw = c.get();
        connections_.push_back(std::move(c));
        connect(s, &QLocalSocket::readyRead, this, [this, raw] { onReadyRead(raw); });
        connect(s, &QLocalSocket::bytesWritten, this, [this, raw] { flush(raw); });
        connect(s, &QLocalSocket::disconnected, this, [this, raw] { drop(raw); });
    }
}

void LiveServer::onReadyRead(Connection* c)
{
    c->input += c->socket->readAll();
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = c->input.indexOf('\n', start);
        if (end < 0)
            break;
        if (end - start > kMaxLineLength) {
            drop(c);
            return;
        }
        QByteArrayView line(c->input.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(c, line);
        start = end + 1;
    }
    c->input.remove(0, start);
    if (c->input.size() > kMaxLineLength)
        drop(c);
}

void LiveServer::handleLine(Connection* c, QByteArrayView line)
{
    const std::optional<int32_t> flags = parseRegister(line);
    if (!flags)
        return; // malformed lines are ignored
    setFlags(c, *flags);
    enqueue(c, registeredLine(*flags));
    flush(c);
    emit registrationChanged();
}

void LiveServer::setFlags(Connection* c, int32_t flags)
{
    const auto it = std::find(registered_.begin(), registered_.end(), c);
    c->flags = flags;
    if (flags == 0) {
        if (it != registered_.end())
            registered_.erase(it);
    } else if (it == registered_.end()) {
        registered_.push_back(c);
    }
}

void LiveServer::enqueue(Connection* c, const QByteArray& line)
{
    if (static_cast<int>(c->queue.size()) >= kMaxPendingLines)
        return; // the listener is not reading: this line is lost for it
    c->queue.push_back(line);
}

void LiveServer::flush(Connection* c)
{
    // One write per flush: the lines that fit the socket's budget, together.
    qint64 room = kSocketBudget - c->socket->bytesToWrite();
    if (c->queue.empty() || room <= 0)
        return;
    QByteArray chunk;
    while (!c->queue.empty() && room > 0) {
        room -= c->queue.front().size();
        chunk += c->queue.front();
        c->queue.pop_front();
    }
    c->socket->write(chunk);
}

void LiveServer::post(Message m, int32_t wParam, uint32_t lParam)
{
    if (registered_.empty())
        return;
    const QByteArray line = formatLine(m, wParam, lParam);
    for (Connection* c : registered_) {
        if (wantsMessage(c->flags, m)) {
            enqueue(c, line);
            flush(c);
        }
    }
}

void LiveServer::postTrace(const std::vector<QByteArray>& lines)
{
    for (Connection* c : registered_) {
        if (!wantsMessage(c->flags, Message::Point))
            continue;
        for (const QByteArray& line : lines)
            enqueue(c, line);
        flush(c);
    }
}

bool LiveServer::hasTraceListeners() const
{
    return std::any_of(registered_.begin(), registered_.end(),
                       [](const Connection* c) { return wantsMessage(c->flags, Message::Point); });
}

size_t LiveServer::pendingLines() const
{
    size_t n = 0;
    for (const auto& c : connections_)
        n += c->queue.size();
    return n;
}

void LiveServer::drop(Connection* c)
{
    const auto it = std::find_if(connections_.begin(), connections_.end(), [c](const auto& p) { return p.get() == c; });
    if (it == connections_.end())
        return;
    const bool wasRegistered = std::erase(registered_, c) > 0;
    std::unique_ptr<Connection> owned = std::move(*it);
    connections_.erase(it);
    owned->socket->disconnect(this);
    owned->socket->abort();
    owned->socket->deleteLater();
    if (wasRegistered)
        emit registrationChanged();
}

} // namespace kavro::live
