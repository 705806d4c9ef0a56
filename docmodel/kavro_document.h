#pragma once
// One practice document: the shooter, the file it belongs to, its aiming collection (which carries
// the shooting event) and a bag of named values; stored as a compound file with one stream,
// "Contents". Files of the older raw format are read too.
#include "aiming_collection.h"
#include "event_manager_access.h"
#include "kavrodoc.h"
#include "com/connection.h"
#include "storage/stream/value_bag.h"

#include <mutex>

class CompoundFileWriter;

namespace kavrodoc {

class CKavroDocument final
    : public ComObject<CKavroDocument, IKavroDocument, ISupportErrorInfo, IConnectionPointContainer> {
public:
    static constexpr Guid clsid = CLSID_KavroDocument;
    static constexpr int32_t kCurrentVersion = 10;

    CKavroDocument();

    HRESULT get_Value(const QString& key, Variant* out) override;
    HRESULT put_Value(const QString& key, const Variant& value) override;
    HRESULT putref_Value(const QString& key, const Variant& value) override;
    HRESULT get_Valid(VARIANT_BOOL* out) override;
    HRESULT get_ShooterName(QString* out) override;
    HRESULT put_ShooterName(const QString& value) override;
    HRESULT get_FileName(QString* out) override;
    HRESULT put_FileName(const QString& value) override;
    HRESULT get_Event(IEventParams** out) override;
    HRESULT put_Event(IEventParams* value) override;
    HRESULT get_Aimings(IAimingCollection** out) override;
    HRESULT Clear() override;
    HRESULT ClearSightingShots() override;
    HRESULT Save() override;
    HRESULT Load() override;
    HRESULT get_FileVersion(int32_t* out) override;
    HRESULT ClearShots() override;
    HRESULT SaveUnique(const QString& folder) override;
    HRESULT get_CatalogPath(QString* out) override;
    HRESULT get_ReadErrorMsg(QString* out) override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;
    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override;

    // Passes the aiming collection's progress on to the document's subscribers.
    void fireProgress(int32_t done, int32_t total);

private:
    HRESULT newCollection(IEventParams* event);
    HRESULT contentsBytes(QByteArray* out);
    HRESULT documentFile(CompoundFileWriter* out);
    // Each sets `message` to the user's explanation when it fails.
    HRESULT loadRawFile(QString* message);
    // From the file's bytes when they could be read, else from the file.
    HRESULT loadCompoundFile(HRESULT read, QByteArray bytes, QString* message);
    HRESULT loadContents(const QByteArray& contents, QString* message);
    HRESULT uniqueNameParts(QString* name, QString* stamp);
    bool validLocked();

    std::recursive_mutex mutex_;
    kavro::ConnectionPoint<_IKavroDocumentEvents> progress_;
    kavro::ValueBag values_;
    const ComPtr<IEventManager> events_ = heldEventManager();
    ComPtr<CAimingCollection> aimings_;
    QString fileName_;
    QString shooterName_;
    QString readErrorMsg_;
    int32_t fileVersion_ = kCurrentVersion;
    bool valid_ = false;
};

} // namespace kavrodoc
