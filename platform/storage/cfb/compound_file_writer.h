#pragma once
// Writes version 3 compound files (512-byte sectors) holding streams directly under the root.
#include "com/guid.h"
#include "com/hresult.h"
#include "storage/file/atomic_file.h"

#include <QByteArray>
#include <QString>

#include <vector>

class CompoundFileWriter {
public:
    // Version 3 stores stream sizes in 32 bits and allows streams up to 2 GiB.
    static constexpr qsizetype kMaxStreamBytes = qsizetype(1) << 31;

    void setRootClassId(const Guid& clsid) { rootClassId_ = clsid; }

    // Names are 1 to 31 UTF-16 units without '/', '\\', ':', '!' or NUL (E_INVALIDARG);
    // a name equal to an earlier one, ignoring case, gives STG_E_FILEALREADYEXISTS.
    HRESULT addStream(const QString& name, const QByteArray& data);

    HRESULT toBytes(QByteArray* out) const;
    HRESULT writeFile(const QString& path, WriteMode mode) const;

private:
    HRESULT toPieces(std::vector<QByteArray>* pieces) const;

    struct Stream {
        QString name;
        QByteArray data;
    };

    Guid rootClassId_;
    std::vector<Stream> streams_;
};
