#include "aiming_trace.h"

#include "aiming_attr.h"
#include "load_budget.h"
#include "com/classregistry.h"
#include "com/numeric.h"
#include "object_helpers.h"
#include "sample_slabs.h"
#include "locked_property.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"
#include "trace_codec.h"

#include <algorithm>
#include <new>
#include <typeinfo>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CAimingTrace, ProgId_AimingTrace);

namespace {

const uint8_t* bytesAt(const QByteArray& bytes, qsizetype offset)
{
    return reinterpret_cast<const uint8_t*>(bytes.constData()) + offset;
}

// Checks the coded channels of a stream being loaded and notes where each lies: in the memory
// stream's own bytes, shared rather than copied, or, for other streams, in bytes kept as read.
class ChannelKeeper {
public:
    explicit ChannelKeeper(IStream* stream)
        : stream_(stream),
          memory_(typeid(*stream) == typeid(kavro::MemoryStream) ? static_cast<kavro::MemoryStream*>(stream) : nullptr)
    {
    }

    HRESULT keep(int32_t count, bool narrow, KeptChannel* out);
    const QByteArray& bytes() const { return memory_ ? memory_->bytes() : read_; }

private:
    IStream* stream_;
    kavro::MemoryStream* memory_;
    QByteArray read_; // what was read from a stream that is not in memory
};

// The budget is charged what decoding will take: 16-bit storage for a channel marked so, and
// 32-bit storage as well when a value does not fit there after all.
HRESULT ChannelKeeper::keep(int32_t count, bool narrow, KeptChannel* out)
{
    const uint64_t n = uint64_t(count);
    // A stream that cannot tell its position cannot be read again, so it is read 32-bit at once.
    uint64_t position = 0;
    narrow = narrow && (memory_ || SUCCEEDED(stream_->Seek(0, STREAM_SEEK_CUR, &position)));
    if (!LoadBudget::charge(n * (narrow ? sizeof(int16_t) : sizeof(int32_t))))
        return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    if (memory_) {
        const QByteArray& bytes = memory_->bytes();
        out->offset = qsizetype(std::min<uint64_t>(memory_->position(), uint64_t(bytes.size())));
        size_t used = 0;
        hr = scanChannel(bytesAt(bytes, out->offset), size_t(bytes.size() - out->offset), uint32_t(count), &used,
                         nullptr);
        out->size = qsizetype(used);
        if (SUCCEEDED(hr) && used && FAILED(memory_->Seek(int64_t(used), STREAM_SEEK_CUR, nullptr)))
            hr = E_FAIL;
    } else {
        out->offset = read_.size();
        hr = scanChannel(stream_, uint32_t(count), &read_);
        out->size = read_.size() - out->offset;
    }
    out->narrow = narrow;
    if (FAILED(hr)) {
        // A value beyond 16 bits before the damage would have sent the channel to 32-bit storage.
        bool fits = true;
        scanChannel(bytesAt(bytes(), out->offset), size_t(bytes().size() - out->offset), uint32_t(count), nullptr,
                    &fits);
        if (narrow && !fits && !LoadBudget::charge(n * sizeof(int32_t)))
            return E_OUTOFMEMORY;
        return E_FAIL;
    }
    if (narrow) {
        // Whether every value fits is known only by following them all; asked when it matters.
        const auto needsWide = [](const uint8_t* data, size_t size, uint32_t n) {
            bool fits = true;
            scanChannel(data, size, n, nullptr, &fits);
            return !fits;
        };
        if (!LoadBudget::chargeIf(n * sizeof(int32_t), {bytes(), out->offset, out->size, uint32_t(count), needsWide}))
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Every trace of a practice names the same channels ("_trigger"): a name equal to the one read
// last on this thread shares its text instead of taking a copy of its own.
HRESULT readChannelName(IStream* stream, QString* name)
{
    thread_local QString last;
    kavro::ShortBstr read;
    if (FAILED(kavro::readBstr(stream, &read)))
        return E_FAIL;
    if (read.isNull) {
        *name = QString();
        return S_OK;
    }
    if (last.isNull() || last != read.view())
        last = read.view().toString();
    *name = last;
    return S_OK;
}

} // namespace

void CAimingTrace::setAttr(IAimingAttr* attr)
{
    Lock lock(mutex_);
    attr_ = attr;
}

ComPtr<IAimingAttr> CAimingTrace::attr()
{
    Lock lock(mutex_);
    return attr_;
}

bool CAimingTrace::wrapEnabled()
{
    Lock lock(mutex_);
    return wrapEnabled_;
}

bool CAimingTrace::inRange(int32_t index) const
{
    return count_ > 0 && int64_t(index) >= first_ && int64_t(index) < int64_t(first_) + count_;
}

// A rate of 0 or less (never set, or so stored) gives no time-based result.
HRESULT CAimingTrace::sampleRate(int32_t* rate)
{
    *rate = 0;
    if (!attr_ || FAILED(attr_->get_SampleRate(rate)) || *rate <= 0)
        return E_UNEXPECTED;
    return S_OK;
}

HRESULT CAimingTrace::get_Valid(VARIANT_BOOL* out) KAVRO_LOCKED_GET(toVariantBool(count_ > 0))

HRESULT CAimingTrace::get_Count(int32_t* out) KAVRO_LOCKED_GET(count_)

HRESULT CAimingTrace::get_First(int32_t* out) KAVRO_LOCKED_GET(first_)

HRESULT CAimingTrace::get_Last(int32_t* out) KAVRO_LOCKED_GET(first_ + count_ - 1)

HRESULT CAimingTrace::get_Attr(IAimingAttr** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    return attr_.copyTo(out);
}

HRESULT CAimingTrace::coordinate(const SampleArray& axis, int32_t index, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    if (!inRange(index))
        return E_INVALIDARG;
    if (HRESULT hr = materialise(); FAILED(hr))
        return hr;
    *out = float(axis.at(position(index)) / 100.0);
    return S_OK;
}

HRESULT CAimingTrace::get_x(int32_t index, float* out)
{
    return coordinate(x_, index, out);
}

HRESULT CAimingTrace::get_y(int32_t index, float* out)
{
    return coordinate(y_, index, out);
}

HRESULT CAimingTrace::get_MaxTimeBeforeShot(float* out) KAVRO_LOCKED_GET(maxTimeBeforeShot_)

HRESULT CAimingTrace::put_MaxTimeBeforeShot(float value)
{
    if (!(value >= 0.5f)) // NaN too
        return E_INVALIDARG;
    Lock lock(mutex_);
    if (value != maxTimeBeforeShot_) {
        maxTimeBeforeShot_ = value;
        modified_ = true;
    }
    return S_OK;
}

HRESULT CAimingTrace::Add(float x, float y)
{
    int32_t ix, iy;
    if (!kavro::toHundredths(x, &ix) || !kavro::toHundredths(y, &iy))
        return E_INVALIDARG;
    return _Add(ix, iy);
}

template <class Out, class Convert> HRESULT CAimingTrace::withSampleRate(Out* out, Convert convert)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    int32_t r;
    if (FAILED(sampleRate(&r)))
        return E_UNEXPECTED;
    return convert(r, out);
}

HRESULT CAimingTrace::Index2Sec(int32_t nIndex, float* out)
{
    return withSampleRate(out, [nIndex](int32_t r, float* seconds) {
        *seconds = float(nIndex) / float(r);
        return S_OK;
    });
}

HRESULT CAimingTrace::Sec2Index(float seconds, int32_t* out)
{
    return withSampleRate(out, [seconds](int32_t r, int32_t* index) {
        volatile float product = float(r) * seconds; // single precision, as the index is defined
        return kavro::checkedRound<int32_t>(product, index) ? S_OK : E_INVALIDARG;
    });
}

HRESULT CAimingTrace::get_ReadOnly(VARIANT_BOOL* out) KAVRO_LOCKED_GET(toVariantBool(readOnly_))

HRESULT CAimingTrace::put_ReadOnly(VARIANT_BOOL value)
{
    Lock lock(mutex_);
    if (value && !readOnly_) {
        // A channel left wide for want of memory is still whole, and the trace still writable.
        try {
            cutToCount();
            x_.narrow();
            y_.narrow();
            for (auto& c : channels_)
                c.values.narrow();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        readOnly_ = true;
        modified_ = true;
        return S_OK;
    }
    if (!value && readOnly_)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CAimingTrace::put_WrapEnabled(VARIANT_BOOL value)
{
    Lock lock(mutex_);
    if (value || readOnly_)
        return E_INVALIDARG;
    wrapEnabled_ = false;
    modified_ = true;
    return S_OK;
}

HRESULT CAimingTrace::ValidCoordinate(int32_t index, VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    if (!inRange(index))
        return E_INVALIDARG;
    if (HRESULT hr = materialise(); FAILED(hr))
        return hr;
    *out = toVariantBool(x_.isNarrow() || x_.at(position(index)) != kInvalidSample);
    return S_OK;
}

HRESULT CAimingTrace::AddInvalid()
{
    return _Add(kInvalidSample, kInvalidSample);
}

HRESULT CAimingTrace::AddUserData(const QString& name, int32_t* dataIndex)
{
    if (name.isNull() || !dataIndex)
        return E_INVALIDARG;
    Lock lock(mutex_);
    for (size_t i = 0; i < size_t(channels_.size()); ++i) {
        if (channels_[i].name == name) {
            *dataIndex = int32_t(i + 1);
            return S_OK;
        }
    }
    if (channels_.size() >= kMostUserChannels)
        return E_OUTOFMEMORY;
    if (HRESULT hr = materialise(); FAILED(hr))
        return hr;
    try {
        UserChannel channel;
        channel.name = name;
        if (capacity_ > 0) {
            channel.values.reset(capacity_);
            channelNarrowingPending_ = true;
        }
        channels_.push_back(std::move(channel));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *dataIndex = int32_t(channels_.size());
    return S_OK;
}

HRESULT CAimingTrace::GetUserData(const QString& name, int32_t* dataIndex)
{
    if (name.isNull() || !dataIndex)
        return E_INVALIDARG;
    Lock lock(mutex_);
    *dataIndex = -1;
    for (size_t i = 0; i < size_t(channels_.size()); ++i) {
        if (channels_[i].name == name) {
            *dataIndex = int32_t(i + 1);
            break;
        }
    }
    return S_OK;
}

CAimingTrace::UserChannel* CAimingTrace::userChannelAt(int32_t dataIndex, int32_t index)
{
    if (dataIndex < 1 || dataIndex > channels_.size() || !inRange(index))
        return nullptr;
    return &channels_[dataIndex - 1];
}

HRESULT CAimingTrace::get_UserData(int32_t dataIndex, int32_t index, int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    UserChannel* channel = userChannelAt(dataIndex, index);
    if (!channel)
        return E_INVALIDARG;
    if (HRESULT hr = materialise(); FAILED(hr))
        return hr;
    *out = channel->values.at(position(index));
    return S_OK;
}

HRESULT CAimingTrace::put_UserData(int32_t dataIndex, int32_t index, int32_t value)
{
    Lock lock(mutex_);
    UserChannel* channel = userChannelAt(dataIndex, index);
    if (!channel)
        return E_INVALIDARG;
    if (HRESULT hr = materialise(); FAILED(hr))
        return hr;
    try {
        channel->values.set(position(index), value);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CAimingTrace::_Add(int32_t x, int32_t y)
{
    Lock lock(mutex_);
    if (readOnly_)
        return E_UNEXPECTED;
    int32_t r;
    // Storage is sized by the rate: only a rate the put accepts may do that. Rates outside it
    // come only from files, whose traces are read-only.
    if (FAILED(sampleRate(&r)) || !isSettableSampleRate(r))
        return E_UNEXPECTED;
    try {
        return addSample(x, y);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CAimingTrace::addSample(int32_t x, int32_t y)
{
    int32_t r;
    sampleRate(&r);
    if (capacity_ == 0)
        packToFront(size_t(3) * size_t(r));
    int32_t window = kavro::truncSaturated(double(float(maxTimeBeforeShot_ * float(r))), INT32_MAX);
    if (wrapEnabled_ && count_ == window) {
        // Only equality drops: a window shortened below Count afterwards lets the trace grow.
        ++first_;
        ++start_;
        --count_;
        if (size_t(start_) + size_t(count_) == capacity_)
            packToFront(capacity_);
    } else if (count_ >= kMostSamples) {
        return E_OUTOFMEMORY; // more than any stored trace may hold
    } else if (size_t(start_) + size_t(count_) == capacity_) {
        // Growing by half keeps a long recording's copying linear in its length; never by
        // much past what a trace may hold.
        const size_t step = capacity_ + size_t(kavro::truncSaturated(2.5 * r));
        size_t grown = std::max(step, capacity_ + capacity_ / 2);
        if (grown > size_t(kMostSamples))
            grown = std::max(size_t(kMostSamples), step);
        packToFront(grown);
    }
    size_t at = size_t(start_) + size_t(count_);
    x_.set(at, x);
    y_.set(at, y);
    for (auto& c : channels_)
        c.values.set(at, 0);
    ++count_;
    modified_ = true;
    return S_OK;
}

// Moves the kept samples of every channel to the front of arrays of `newCapacity`. Channels
// are resized into copies first, so that running out of memory leaves the trace as it was.
void CAimingTrace::packToFront(size_t newCapacity)
{
    if (capacity_ > 0 && newCapacity == capacity_) {
        // In place: nothing to allocate.
        x_.repack(size_t(start_), size_t(count_), newCapacity);
        y_.repack(size_t(start_), size_t(count_), newCapacity);
        for (auto& c : channels_)
            c.values.repack(size_t(start_), size_t(count_), newCapacity);
        start_ = 0;
        return;
    }
    auto pack = [&](const SampleArray& a) {
        SampleArray packed;
        if (a.capacity() == 0 && capacity_ == 0)
            packed.reset(newCapacity);
        else
            packed = a.repacked(size_t(start_), size_t(count_), newCapacity);
        return packed;
    };
    SampleArray nx = pack(x_), ny = pack(y_);
    UserChannels nc;
    nc.reserve(channels_.size());
    for (const auto& c : channels_)
        nc.push_back({pack(c.values), c.name, c.coded});
    x_ = std::move(nx);
    y_ = std::move(ny);
    moveInto(channels_, std::move(nc));
    capacity_ = newCapacity;
    start_ = 0;
}

void CAimingTrace::cutToCount()
{
    if (capacity_ == 0 || (start_ == 0 && capacity_ == size_t(count_)))
        return;
    packToFront(size_t(count_));
}

HRESULT CAimingTrace::_GetPoint(int32_t nIndex, int32_t* x, int32_t* y)
{
    if (!x || !y)
        return E_POINTER;
    Lock lock(mutex_);
    if (!inRange(nIndex))
        return E_INVALIDARG;
    if (HRESULT hr = materialise(); FAILED(hr))
        return hr;
    *x = x_.at(position(nIndex));
    *y = y_.at(position(nIndex));
    return S_OK;
}

HRESULT CAimingTrace::RemoveUserData(const QString& name)
{
    if (name.isNull())
        return E_INVALIDARG;
    Lock lock(mutex_);
    for (auto it = channels_.begin(); it != channels_.end(); ++it) {
        if (it->name == name) {
            channels_.erase(it);
            break;
        }
    }
    return S_OK;
}

KAVRO_PERSIST_STREAM_INIT_BASICS(CAimingTrace, mutex_, modified_)

HRESULT CAimingTrace::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IAimingTrace::iid);
}

HRESULT CAimingTrace::saveChannel(IStream* stream, const SampleArray& a) const
{
    if (a.isNarrow())
        return writeCodedChannel(stream, a.narrowData(), uint32_t(count_));
    return writeCodedChannel(stream, a.wideData(), uint32_t(count_));
}

HRESULT CAimingTrace::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    Lock lock(mutex_);
    if (HRESULT hr = materialise(); FAILED(hr))
        return hr;
    try {
        if (start_ != 0)
            cutToCount();
        if (channelNarrowingPending_) {
            for (auto& c : channels_)
                c.values.narrow();
            channelNarrowingPending_ = false;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    using kavro::writeValue;
    if (FAILED(writeValue<int32_t>(stream, kCurrentVersion)) || FAILED(writeValue(stream, first_))
        || FAILED(writeValue(stream, count_)))
        return E_FAIL;
    if (count_ > 0) {
        uint8_t forms = uint8_t((x_.isNarrow() ? 1 : 0) | (y_.isNarrow() ? 2 : 0));
        if (FAILED(writeValue(stream, forms)) || FAILED(saveChannel(stream, x_)) || FAILED(saveChannel(stream, y_))
            || FAILED(writeValue<int32_t>(stream, int32_t(channels_.size()))))
            return E_FAIL;
        for (const auto& c : channels_) {
            if (FAILED(writeValue<uint8_t>(stream, c.values.isNarrow() ? 1 : 0))
                || FAILED(kavro::writeBstr(stream, c.name)) || FAILED(saveChannel(stream, c.values)))
                return E_FAIL;
        }
    }
    return endSave(S_OK, clearDirty, &modified_);
}

// Checks a stream whole and takes it over only when all of it was read. Sample channels stay
// coded until their first use.
HRESULT CAimingTrace::Load(IStream* stream)
{
    return load(stream, true);
}

HRESULT CAimingTrace::loadUnshared(IStream* stream)
{
    return load(stream, false);
}

HRESULT CAimingTrace::load(IStream* stream, bool shared)
{
    if (!stream)
        return E_POINTER;
    uint64_t inputBytes = 0;
    if (!LoadBudget::isOpen())
        kavro::remainingBytes(stream, &inputBytes);
    const LoadBudget budget(inputBytes);
    using kavro::readValue;
    int32_t version = 0, first = 0, count = 0;
    if (FAILED(kavro::readVersion(stream, kCurrentVersion, &version)) || version < 1)
        return E_FAIL;
    int32_t ignored;
    if (FAILED(version == 1 ? kavro::readFields(stream, &first, &ignored, &count)
                            : kavro::readFields(stream, &first, &count)))
        return E_FAIL;
    count = std::max(count, 0);
    if (count > kMostSamples || int64_t(first) + count - 1 > INT32_MAX)
        return E_FAIL;

    SampleArray x, y;
    UserChannels channels;
    QByteArray coded;
    KeptChannel codedX, codedY;
    if (count > 0 && version <= 2) {
        int32_t pairForm = 0;
        if (FAILED(readValue(stream, &pairForm)))
            return E_FAIL;
        size_t pairSize = pairForm ? 4 : 8;
        if (!kavro::fitsInStream(stream, uint64_t(count), pairSize))
            return E_FAIL;
        if (!LoadBudget::charge(uint64_t(count) * 2 * sizeof(int32_t)))
            return E_OUTOFMEMORY;
        SampleVector<int32_t> vx, vy;
        try {
            vx.resize(size_t(count));
            vy.resize(size_t(count));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        for (int32_t i = 0; i < count; ++i) {
            if (pairForm) {
                int16_t p[2];
                if (FAILED(kavro::readExact(stream, p, sizeof p)))
                    return E_FAIL;
                vx[size_t(i)] = p[0];
                vy[size_t(i)] = p[1];
            } else {
                int32_t p[2];
                if (FAILED(kavro::readExact(stream, p, sizeof p)))
                    return E_FAIL;
                vx[size_t(i)] = p[0];
                vy[size_t(i)] = p[1];
            }
        }
        x.assign(std::move(vx));
        y.assign(std::move(vy));
        x.narrow();
        y.narrow();
    } else if (count > 0) {
        ChannelKeeper keeper(stream);
        uint8_t forms = 0;
        if (FAILED(readValue(stream, &forms)))
            return E_FAIL;
        HRESULT hr = keeper.keep(count, forms & 1, &codedX);
        if (SUCCEEDED(hr))
            hr = keeper.keep(count, forms & 2, &codedY);
        if (FAILED(hr))
            return hr;
        if (version >= 4) {
            int32_t channelCount = 0;
            if (FAILED(readValue(stream, &channelCount)) || channelCount < 0
                || channelCount > kMostUserChannels
                // forms byte, name length and at least one run header per channel
                || !kavro::fitsInStream(stream, uint64_t(channelCount), 7))
                return E_FAIL;
            if (channelCount > channels.capacity())
                channels.reserve(channelCount);
            for (int32_t i = 0; i < channelCount; ++i) {
                UserChannel c;
                uint8_t form = 0;
                if (FAILED(readValue(stream, &form)) || FAILED(readChannelName(stream, &c.name)))
                    return E_FAIL;
                hr = keeper.keep(count, form & 1, &c.coded);
                if (FAILED(hr))
                    return hr;
                channels.push_back(std::move(c));
            }
        }
        coded = keeper.bytes();
    }

    const auto lock = loadLock(mutex_, shared);
    x_ = std::move(x);
    y_ = std::move(y);
    moveInto(channels_, std::move(channels));
    undecoded_ = !coded.isNull();
    coded_ = std::move(coded);
    codedX_ = codedX;
    codedY_ = codedY;
    capacity_ = size_t(count);
    first_ = first;
    count_ = count;
    start_ = 0;
    readOnly_ = true;
    wrapEnabled_ = false;
    channelNarrowingPending_ = false;
    modified_ = false;
    return S_OK;
}

// Load checked every byte, so only memory can fail here: E_OUTOFMEMORY, and the trace stays as
// it was.
HRESULT CAimingTrace::materialise()
{
    if (!undecoded_)
        return S_OK;
    try {
        // Every channel of the trace is decoded into one block, taken from the slabs kept for
        // decoded samples.
        const size_t n = size_t(count_);
        const auto slot = [n](const KeptChannel& c) {
            const size_t bytes = n * (c.narrow ? sizeof(int16_t) : sizeof(int32_t));
            return (bytes + alignof(int32_t) - 1) / alignof(int32_t) * alignof(int32_t);
        };
        size_t bytes = slot(codedX_) + slot(codedY_);
        for (const auto& c : channels_)
            bytes += slot(c.coded);
        const std::shared_ptr<std::byte[]> block = SampleSlabs::take(bytes);
        std::byte* at = block.get();
        const auto decodeNext = [&](const KeptChannel& c) {
            SampleArray a = decodeKept(c, block, at);
            at += slot(c);
            return a;
        };
        SampleArray x = decodeNext(codedX_), y = decodeNext(codedY_);
        QVarLengthArray<SampleArray, 4> values;
        for (const auto& c : channels_)
            values.push_back(decodeNext(c.coded));
        x_ = std::move(x);
        y_ = std::move(y);
        for (size_t i = 0; i < size_t(channels_.size()); ++i)
            channels_[i].values = std::move(values[i]);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    undecoded_ = false;
    coded_ = QByteArray();
    return S_OK;
}

// A channel marked 16-bit is held so unless a value does not fit, as when read from the stream;
// one that does not fit takes storage of its own, its place in the block unused.
SampleArray CAimingTrace::decodeKept(const KeptChannel& c, const std::shared_ptr<std::byte[]>& block,
                                     std::byte* at) const
{
    const uint8_t* data = bytesAt(coded_, c.offset);
    const size_t n = size_t(count_);
    SampleArray out;
    if (c.narrow) {
        auto* small = reinterpret_cast<int16_t*>(at);
        if (decodeChannel(data, size_t(c.size), small, uint32_t(n), nullptr) == S_OK) {
            out.share(block, small, n);
            return out;
        }
        SampleVector<int32_t> wide(n);
        if (decodeChannel(data, size_t(c.size), wide.data(), uint32_t(n), nullptr) != S_OK)
            std::fill(wide.begin(), wide.end(), 0);
        out.assign(std::move(wide));
        return out;
    }
    auto* wide = reinterpret_cast<int32_t*>(at);
    if (decodeChannel(data, size_t(c.size), wide, uint32_t(n), nullptr) != S_OK)
        std::fill(wide, wide + n, 0);
    out.share(block, wide, n);
    return out;
}

} // namespace kavrodoc
