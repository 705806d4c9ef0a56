#include "device/serial/banner.h"

#include <cstring>

namespace kavro {

namespace {

constexpr size_t kOpenWithin = 17; // "(" must be among the first bytes of this many
constexpr uint8_t kOpen = '(';
constexpr uint8_t kClose = ')';
constexpr uint8_t kTab = '\t';
constexpr uint8_t kSeparator = 0x5C; // backslash

// Only upper-case hex digits are accepted: anything else makes the checksum unreadable.
int hexDigit(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool endsField(uint8_t c)
{
    return c == kSeparator || c == kClose || c == kTab;
}

// Copies one field starting at `pos` into `out` (capacity bytes, no terminator assumed); text
// beyond the capacity is skipped so the next field still starts after the separator. Returns
// the position after the field's terminator.
size_t readField(const uint8_t* b, size_t pos, size_t end, char* out, size_t capacity)
{
    const size_t start = pos;
    while (pos < end && !endsField(b[pos]))
        ++pos;
    size_t length = pos - start;
    // The last field carries the checksum digits before ")" (or the closing tab).
    if ((b[pos] == kClose || b[pos] == kTab) && length > 2)
        length -= 2;
    const size_t copied = length < capacity ? length : capacity;
    std::memcpy(out, b + start, copied);
    // A separator is stepped over; ")" or a tab ends every later field too.
    return (pos <= end && b[pos] == kSeparator) ? pos + 1 : pos;
}

} // namespace

bool parseBanner(const uint8_t* bytes, size_t size, DeviceIdentification& record)
{
    record.clear();
    if (!bytes || size == 0)
        return false;
    if (size > kBannerMaxBytes)
        size = kBannerMaxBytes;

    size_t open = 0;
    while (open < size && bytes[open] != kOpen)
        ++open;
    if (open >= size || open >= kOpenWithin)
        return false;

    size_t close = open + 1;
    while (close < size && bytes[close] != kClose)
        ++close;
    if (close >= size) {
        // No ")": a banner cut short by a closing tab still counts.
        close = size - 1;
        if (bytes[close] != kTab)
            return false;
    }
    // "(", two banner characters, the tag and two checksum digits at the least.
    if (close < open + 8)
        return false;

    const int hi = hexDigit(bytes[close - 2]);
    const int lo = hexDigit(bytes[close - 1]);
    if (hi < 0 || lo < 0)
        return false;
    uint8_t sum = kClose;
    for (size_t i = open; i < close - 2; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    if (sum != hi * 16 + lo)
        return false;

    const uint8_t* b = bytes + open;
    const size_t end = close - open; // index of the terminator, relative to "("
    std::memcpy(record.banner, b + 1, 2);
    std::memcpy(record.tag, b + 3, 3);
    record.tag[3] = 0;

    char model[6] = {};
    size_t pos = 6;
    pos = readField(b, pos, end, model, sizeof model);
    pos = readField(b, pos, end, record.serialNumber, sizeof record.serialNumber);
    pos = readField(b, pos, end, record.field3, sizeof record.field3);
    pos = readField(b, pos, end, record.field4, sizeof record.field4);
    readField(b, pos, end, record.modelName, sizeof record.modelName);

    int32_t number = 0;
    for (char c : model) {
        if (c == 0)
            break;
        if (c < '0' || c > '9') {
            record.clear();
            return false;
        }
        number = number * 10 + (c - '0');
    }
    record.modelNumber = number;
    return true;
}

} // namespace kavro
