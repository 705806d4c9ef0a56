#include "event_file.h"

#include "storage/cfb/compound_file.h"

namespace kavrodoc {

namespace {
const QString kContents = QStringLiteral("Contents");
}

HRESULT readEventFile(const QString& path, Guid* clsid, QByteArray* contents)
{
    if (!clsid || !contents)
        return E_POINTER;
    CompoundFileReader reader;
    HRESULT hr = CompoundFileReader::open(path, &reader);
    if (FAILED(hr))
        return hr;
    hr = reader.readStream(kContents, contents);
    if (FAILED(hr))
        return hr;
    *clsid = reader.rootClassId();
    return S_OK;
}

HRESULT writeEventFile(const QString& path, const Guid& clsid, const QByteArray& contents)
{
    CompoundFileWriter writer;
    writer.setRootClassId(clsid);
    HRESULT hr = writer.addStream(kContents, contents);
    if (FAILED(hr))
        return hr;
    return writer.writeFile(path, WriteMode::Replace);
}

} // namespace kavrodoc
