#pragma once
// Where the catalog's shared objects are: the cache file in the user's cache folder, and the
// named objects (change counter, "service running" lock, guard) in the per-user runtime folder.
#include "com/hresult.h"

#include <QString>

namespace kavro::catalog {

inline constexpr char kCacheFileName[] = "kavrocls.tmp";
inline constexpr char kChangeCounterName[] = "KAVROCLSIM"; // 4096 bytes, uint32 counter at 0
inline constexpr char kServiceRunningName[] = "KAVROCLSST"; // locked exclusively while the service serves
inline constexpr char kServiceInstanceName[] = "KAVROCLSST.instance"; // locked by the one service from its start
inline constexpr char kGuardName[] = "KAVROCLSDG"; // the cache's reader/writer guard
constexpr size_t kChangeCounterBytes = 4096;

// $KAVRO_CACHE_DIR, else $XDG_CACHE_HOME/kavro/, else ~/.cache/kavro/; created (0700) when
// missing. Ends in '/'.
HRESULT cacheFolder(QString* out);
// Makes a missing cache folder (0700); an existing one is left as it is.
HRESULT makeCacheFolder(const QString& folder);
HRESULT cacheFilePath(QString* out);

} // namespace kavro::catalog
