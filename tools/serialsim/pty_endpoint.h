#pragma once
// The sensor's end of the line: the master side of a pseudo-terminal, in packet mode so that the
// host's purges of its receive buffer show up here (a pty carries no modem lines, so a purge at
// the identification speed is the only trace of the host's line handshake).
//
// Unplugging closes the master, which hangs the host's side up. A new pseudo-terminal gets a new
// slave path, so the stable name for the host is the optional link, which is re-pointed at each
// new slave.
#include <string>
#include <termios.h>

namespace kavro::serialsim {

class PtyEndpoint {
public:
    PtyEndpoint() = default;
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // Where the link goes; an existing file there that is not a symbolic link is refused.
    bool setLinkPath(const std::string& path, std::string* error);

    bool open(std::string* error);
    void close();
    // Removes the link when it still points at this endpoint's slave.
    void removeLink();

    bool isOpen() const { return master_ >= 0; }
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // The speed the host has set on its side, B0 when unknown.
    speed_t hostSpeed() const;

private:
    bool pointLink(std::string* error);

    int master_ = -1;
    // Held open so the master does not report a hang-up while the host has the port closed.
    int slave_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

} // namespace kavro::serialsim
