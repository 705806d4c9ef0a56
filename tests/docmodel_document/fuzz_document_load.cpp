// Feeds arbitrary bytes to the document's Load as a file: compound documents and the older raw
// format both. Seeds: corpus/document.
#include "kavro_document.h"
#include "com/classregistry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace {

QString scratchFile()
{
    static const QString path = QDir::tempPath() + QStringLiteral("/kavro-fuzz-document-%1.kavro").arg(getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Held for the whole run, as a program holds it: otherwise every input reads every event file.
    static const ComPtr<IEventManager> events = [] {
        qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
        ComPtr<IEventManager> manager;
        createInstance(kavrodoc::CLSID_EventManager, &manager);
        return manager;
    }();
    QFile f(scratchFile());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    f.write(reinterpret_cast<const char*>(data), qint64(size));
    f.close();
    auto doc = kavrodoc::CKavroDocument::create();
    doc->put_FileName(scratchFile());
    doc->Load();
    return 0;
}
