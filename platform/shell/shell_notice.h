#pragma once
// The shell's change notices on the wire: a notice travels on the notice channel "kavro-catalog"
// as a uint32 event code (little-endian) followed by the absolute item-ID list it concerns.
#include "item_id.h"

#include <QByteArray>
#include <QStringList>

#include <cstdint>

namespace kavro::shell {

inline constexpr char kShellNoticeChannel[] = "kavro-catalog";

// The shell's change event codes.
enum ShellChange : uint32_t {
    SHCNE_CREATE = 0x2,
    SHCNE_DELETE = 0x4,
    SHCNE_MKDIR = 0x8,
    SHCNE_RMDIR = 0x10,
    SHCNE_UPDATEDIR = 0x1000,
    SHCNE_UPDATEITEM = 0x2000,
};

struct ShellNotice {
    uint32_t event = 0;
    QStringList names; // every item's name, from the first below the desktop
};

// The message for `event` on the absolute ID list `ids`; empty when `ids` is null.
QByteArray encodeShellNotice(uint32_t event, const ItemIdList* ids);
// The event code and the item-ID list of `message` (unaligned: the item routines read it
// bytewise), or false when `message` is not one well-formed notice.
bool splitShellNotice(const QByteArray& message, uint32_t* event, const ItemIdList** ids);
// False when `message` is not one well-formed notice.
bool decodeShellNotice(const QByteArray& message, ShellNotice* out);

} // namespace kavro::shell
