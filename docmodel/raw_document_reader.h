#pragma once
// Reads documents of the older raw format: flat files of fixed fields whose text is Windows-1252.
// Only read, never written.
#include "kavrodoc.h"
#include "storage/stream/value_bag.h"

#include <QByteArray>
#include <functional>

namespace kavrodoc {

// Where the reader puts what it finds. Aimings go into `aimings` as they are read, so on failure
// those read so far stay there.
struct RawDocumentSink {
    IAimingCollection* aimings = nullptr;
    QString* shooterName = nullptr;
    int32_t* fileVersion = nullptr;
    kavro::ValueBag* values = nullptr;
    IEventManager* events = nullptr; // where the file's event is looked up
    std::function<void(int32_t done, int32_t total)> progress;
};

// Files larger than this are no raw documents (the format holds at most a few megabytes per
// aiming); they are refused before being read.
constexpr int64_t kMaxRawDocumentBytes = int64_t(256) << 20;

HRESULT readRawDocument(const QString& path, const RawDocumentSink& sink);
HRESULT readRawDocumentBytes(const QByteArray& bytes, const RawDocumentSink& sink);

} // namespace kavrodoc
