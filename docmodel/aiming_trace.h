#pragma once
// The sampled aiming points of one aiming, with named per-sample user-data channels. While
// recording, a sliding window keeps the last MaxTimeBeforeShot seconds; a finished trace is
// read-only and narrowed to 16-bit storage where the values allow.
#include "kavrodoc.h"
#include "object_block.h"
#include "com/persist.h"
#include "sample_array.h"

#include <QByteArray>
#include <QVarLengthArray>

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace kavrodoc {

// Where a loaded channel's coded bytes lie among the bytes a trace keeps, and whether the stream
// marked it 16-bit.
struct KeptChannel {
    qsizetype offset = 0;
    qsizetype size = 0;
    bool narrow = false;
};

class CAimingTrace final : public ComObject<CAimingTrace, IAimingTrace, IPersistStreamInit, ISupportErrorInfo>,
                           public InObjectBlock<CAimingTrace> {
public:
    static constexpr Guid clsid = CLSID_AimingTrace;
    static constexpr int32_t kCurrentVersion = 4;
    // An hour of samples at the highest rate (hours at lower rates), far longer than any aiming,
    // and far more channels than the device adds (one): bounds on what a stored trace may claim.
    // A trace at both bounds, invalid throughout, fits in the fixed part of a load's budget, so
    // whatever a trace can record, a load can read.
    static constexpr int32_t kMostSamples = 500 * 60 * 60;
    static constexpr int32_t kMostUserChannels = 16;

    CAimingTrace() = default;
    // A trace its aiming makes, given the aiming's attributes.
    explicit CAimingTrace(IAimingAttr* attr) : attr_(attr) { }

    // IAimingTrace
    HRESULT get_Valid(VARIANT_BOOL* out) override;
    HRESULT get_Count(int32_t* out) override;
    HRESULT get_First(int32_t* out) override;
    HRESULT get_Last(int32_t* out) override;
    HRESULT get_Attr(IAimingAttr** out) override;
    HRESULT get_x(int32_t index, float* out) override;
    HRESULT get_y(int32_t index, float* out) override;
    HRESULT get_MaxTimeBeforeShot(float* out) override;
    HRESULT put_MaxTimeBeforeShot(float value) override;
    HRESULT Add(float x, float y) override;
    HRESULT Index2Sec(int32_t nIndex, float* out) override;
    HRESULT Sec2Index(float seconds, int32_t* out) override;
    HRESULT get_ReadOnly(VARIANT_BOOL* out) override;
    HRESULT put_ReadOnly(VARIANT_BOOL value) override;
    HRESULT put_WrapEnabled(VARIANT_BOOL value) override;
    HRESULT ValidCoordinate(int32_t index, VARIANT_BOOL* out) override;
    HRESULT AddInvalid() override;
    HRESULT AddUserData(const QString& name, int32_t* dataIndex) override;
    HRESULT GetUserData(const QString& name, int32_t* dataIndex) override;
    HRESULT get_UserData(int32_t dataIndex, int32_t index, int32_t* out) override;
    HRESULT put_UserData(int32_t dataIndex, int32_t index, int32_t value) override;
    HRESULT _Add(int32_t x, int32_t y) override;
    HRESULT _GetPoint(int32_t nIndex, int32_t* x, int32_t* y) override;
    HRESULT RemoveUserData(const QString& name) override;

    // IPersistStreamInit
    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

    HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

    // The aiming gives its trace the attribute object it shares with it.
    void setAttr(IAimingAttr* attr);
    // Load for a trace that nobody else holds yet.
    HRESULT loadUnshared(IStream* stream);
    ComPtr<IAimingAttr> attr();
    // The lock that ranges and shots may hold while they read several samples in a row.
    std::recursive_mutex& mutex() { return mutex_; }
    bool wrapEnabled();

private:
    struct UserChannel {
        SampleArray values;
        QString name;
        KeptChannel coded;
    };

    HRESULT load(IStream* stream, bool shared);
    bool inRange(int32_t index) const;
    size_t position(int32_t index) const { return size_t(start_) + size_t(index - first_); }
    // Null when `dataIndex` (1-based) names no channel or `index` is outside the trace.
    UserChannel* userChannelAt(int32_t dataIndex, int32_t index);
    HRESULT coordinate(const SampleArray& axis, int32_t index, float* out);
    HRESULT sampleRate(int32_t* rate);
    HRESULT addSample(int32_t x, int32_t y);
    void packToFront(size_t newCapacity);
    void cutToCount();
    HRESULT saveChannel(IStream* stream, const SampleArray& a) const;
    // Index2Sec and Sec2Index: `convert` gets the rate, known to be above 0.
    template <class Out, class Convert> HRESULT withSampleRate(Out* out, Convert convert);
    // Decodes the channels a load kept coded; every member that touches samples calls it first
    // and fails with E_OUTOFMEMORY, the trace unchanged, when the samples cannot be allocated.
    HRESULT materialise();
    SampleArray decodeKept(const KeptChannel& c, const std::shared_ptr<std::byte[]>& block, std::byte* at) const;

    std::recursive_mutex mutex_;
    SampleArray x_, y_;
    size_t capacity_ = 0;
    bool readOnly_ = false;
    bool wrapEnabled_ = true;
    int32_t start_ = 0;
    int32_t first_ = 0;
    int32_t count_ = 0;
    float maxTimeBeforeShot_ = 5.0f;
    bool channelNarrowingPending_ = false;
    // The device adds one channel: held inline, loading a trace allocates no list.
    using UserChannels = QVarLengthArray<UserChannel, 1>;
    UserChannels channels_;
    ComPtr<IAimingAttr> attr_;
    bool modified_ = false;
    // Until the first use of its samples a loaded trace holds the stream's coded bytes (shared
    // with the stream, not copied) instead of sample arrays: loading a practice then costs little
    // more than reading it, and a reader that wants only shots never pays for the samples.
    bool undecoded_ = false;
    QByteArray coded_;
    KeptChannel codedX_, codedY_;
};

} // namespace kavrodoc
