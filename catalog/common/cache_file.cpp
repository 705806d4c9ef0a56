#include "cache_format.h"

namespace kavro::catalog {

uint64_t CacheRecord::byteLength() const
{
    const uint64_t chars = uint64_t(path.size()) + event.size() + shooter.size() + comments.size() + position.size();
    return kRecordFixedSize + 2 * chars;
}

uint64_t fileTimeFromUnix(int64_t seconds, int64_t nanoseconds)
{
    constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;
    const int64_t t = seconds * 10000000LL + nanoseconds / 100 + kUnixEpochInFileTime;
    return t < 0 ? 0 : static_cast<uint64_t>(t);
}

} // namespace kavro::catalog
