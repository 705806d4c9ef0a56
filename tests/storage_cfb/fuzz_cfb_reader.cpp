// Feeds arbitrary bytes to the compound-file reader and reads every stream it finds; taking the
// first stream over must give what reading it gave.
#include "storage/cfb/compound_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CompoundFileReader reader;
    if (FAILED(
            CompoundFileReader::fromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &reader)))
        return 0;
    (void)reader.rootClassId();
    const QStringList names = reader.streamNames();
    for (const QString& name : names) {
        QByteArray out;
        (void)reader.readStream(name, &out);
        (void)reader.hasStream(name.toLower());
    }
    if (!names.isEmpty()) {
        QByteArray copied, taken;
        const HRESULT hr = reader.readStream(names.front(), &copied);
        if (reader.takeStream(names.front(), &taken) != hr || taken != copied)
            __builtin_trap();
    }
    return 0;
}
