// Feeds arbitrary bytes to the compound-file reader and reads every stream it finds.
#include "storage/cfb/compound_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CompoundFileReader reader;
    if (FAILED(CompoundFileReader::fromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &reader)))
        return 0;
    (void)reader.rootClassId();
    for (const QString& name : reader.streamNames()) {
        QByteArray out;
        (void)reader.readStream(name, &out);
        (void)reader.hasStream(name.toLower());
    }
    return 0;
}
