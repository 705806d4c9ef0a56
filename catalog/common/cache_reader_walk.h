#pragma once
// The record walk shared by readers and the writer (a template for the speed of the visit).

namespace kavro::catalog {

template <class Visit> bool walkLiveRecords(const uint8_t* data, const CacheHeader& header, Visit&& visit, size_t* end)
{
    const uint64_t live = uint64_t(header.documents) + header.nonDocuments;
    uint32_t documents = 0, nonDocuments = 0;
    size_t at = kHeaderSize;
    size_t lastEnd = kHeaderSize;
    for (uint64_t seen = 0; seen < live;) {
        const size_t length = checkedRecordLength(data, header.mappedSize, at);
        if (length == 0)
            return false;
        const uint8_t state = data[at];
        if (state != kDeletedRecord) {
            if (state == kLiveDocument ? ++documents > header.documents : ++nonDocuments > header.nonDocuments)
                return false;
            visit(at, length);
            ++seen;
            lastEnd = at + length;
        }
        at += length;
    }
    if (end)
        *end = lastEnd;
    return true;
}

} // namespace kavro::catalog
