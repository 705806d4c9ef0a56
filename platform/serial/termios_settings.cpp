#include "serial/termios_settings.h"

#include <iterator>

namespace kavro {

namespace {

struct SpeedEntry {
    uint32_t baud;
    speed_t speed;
};

constexpr SpeedEntry speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool speedForBaud(uint32_t baud, speed_t* out)
{
    for (const SpeedEntry& e : speeds) {
        if (e.baud == baud) {
            *out = e.speed;
            return true;
        }
    }
    return false;
}

uint32_t baudForSpeed(speed_t speed)
{
    for (const SpeedEntry& e : speeds) {
        if (e.speed == speed)
            return e.baud;
    }
    return 0;
}

constexpr tcflag_t lineFlags = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;

} // namespace

void makeRaw(termios* t)
{
    t->c_iflag &= ~tcflag_t(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON
                            | IXANY | IXOFF | IMAXBEL | IUTF8);
    t->c_oflag &= ~tcflag_t(OPOST);
    t->c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG | IEXTEN | NOFLSH
                            | TOSTOP);
    t->c_cflag &= ~tcflag_t(CRTSCTS);
    t->c_cflag |= CLOCAL | CREAD;
    t->c_cc[VMIN] = 0;
    t->c_cc[VTIME] = 0;
}

HRESULT applySettings(termios* t, const SerialSettings& s)
{
    speed_t speed;
    if (!speedForBaud(s.baudRate, &speed))
        return E_INVALIDARG;
    tcflag_t size;
    switch (s.dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return E_INVALIDARG;
    }
    tcflag_t flags = size;
    if (s.stopBits == StopBits::Two)
        flags |= CSTOPB;
    switch (s.parity) {
    case Parity::None: break;
    case Parity::Odd: flags |= PARENB | PARODD; break;
    case Parity::Even: flags |= PARENB; break;
    case Parity::Mark: flags |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: flags |= PARENB | CMSPAR; break;
    }
    t->c_cflag = (t->c_cflag & ~lineFlags) | flags;
    cfsetispeed(t, speed);
    cfsetospeed(t, speed);
    return S_OK;
}

SerialSettings readSettings(const termios& t)
{
    SerialSettings s;
    s.baudRate = baudForSpeed(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5: s.dataBits = 5; break;
    case CS6: s.dataBits = 6; break;
    case CS7: s.dataBits = 7; break;
    default: s.dataBits = 8; break;
    }
    s.stopBits = (t.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
    if (!(t.c_cflag & PARENB))
        s.parity = Parity::None;
    else if (t.c_cflag & CMSPAR)
        s.parity = (t.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
    else
        s.parity = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    return s;
}

bool settingsTook(const termios& wanted, const termios& actual, bool ptyRules)
{
    if (cfgetospeed(&wanted) != cfgetospeed(&actual))
        return false;
    const tcflag_t compared = ptyRules ? tcflag_t(CSTOPB) : lineFlags;
    return (wanted.c_cflag & compared) == (actual.c_cflag & compared);
}

} // namespace kavro
