#pragma once
// The controlling side of a pseudo-terminal, standing in for a serial device in tests: what the
// test writes here arrives at the port opened on slavePath(), and the other way round.
#include <QByteArray>
#include <QString>

namespace kavro::test {

class PtyMaster {
public:
    PtyMaster();
    ~PtyMaster();
    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    QString slavePath() const { return slavePath_; }

    bool write(const QByteArray& bytes);
    // Reads until `count` bytes have come or `timeoutMs` has passed.
    QByteArray read(int count, int timeoutMs);
    // Hangs up: the slave side sees the device go away.
    void close();

private:
    int fd_ = -1;
    QString slavePath_;
};

} // namespace kavro::test
