#include "shell_notice.h"

#include <QtEndian>

namespace kavro::shell {

QByteArray encodeShellNotice(uint32_t event, const ItemIdList* ids)
{
    if (!ids)
        return {};
    QByteArray message(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(event, message.data());
    message.append(reinterpret_cast<const char*>(ids), static_cast<qsizetype>(ItemIdListSize(ids)));
    return message;
}

bool splitShellNotice(const QByteArray& message, uint32_t* event, const ItemIdList** ids)
{
    if (message.size() < 6)
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(message.constData());
    const size_t rest = static_cast<size_t>(message.size()) - 4;
    if (CheckedItemIdListSize(bytes + 4, rest) != rest)
        return false;
    *event = qFromLittleEndian<quint32>(bytes);
    *ids = reinterpret_cast<const ItemIdList*>(bytes + 4);
    return true;
}

bool decodeShellNotice(const QByteArray& message, ShellNotice* out)
{
    const ItemIdList* ids = nullptr;
    if (!out || !splitShellNotice(message, &out->event, &ids))
        return false;
    out->names = ItemIdListNames(ids);
    return true;
}

} // namespace kavro::shell
