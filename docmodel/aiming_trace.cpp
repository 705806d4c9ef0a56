#include "aiming_trace.h"

#include "aiming_attr.h"
#include "load_budget.h"
#include "com/classregistry.h"
#include "com/numeric.h"
#include "object_helpers.h"
#include "storage/stream/stream_forms.h"
#include "trace_codec.h"

#include <new>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CAimingTrace, ProgId_AimingTrace);

namespace {

template <class T> HRESULT decodeInto(IStream* stream, int32_t count, std::vector<T>* values)
{
    if (!LoadBudget::charge(uint64_t(count) * sizeof(T)))
        return E_OUTOFMEMORY;
    try {
        values->resize(size_t(count));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = readCodedChannel(stream, values->data(), uint32_t(count));
    return FAILED(hr) ? E_FAIL : hr;
}

// A channel stored narrow is decoded straight into 16-bit storage; a value that does not fit
// there sends the channel back to be read 32-bit.
HRESULT readChannel(IStream* stream, int32_t count, bool narrow, SampleArray* out)
{
    uint64_t start = 0;
    if (narrow && SUCCEEDED(stream->Seek(0, STREAM_SEEK_CUR, &start))) {
        std::vector<int16_t> small;
        const HRESULT hr = decodeInto(stream, count, &small);
        if (hr == S_OK) {
            out->assign(std::move(small));
            return S_OK;
        }
        if (hr != S_FALSE)
            return hr;
        if (FAILED(stream->Seek(int64_t(start), STREAM_SEEK_SET, nullptr)))
            return E_FAIL;
    }
    std::vector<int32_t> values;
    const HRESULT hr = decodeInto(stream, count, &values);
    if (FAILED(hr))
        return hr;
    out->assign(std::move(values));
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

HRESULT CAimingTrace::get_Valid(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = toVariantBool(count_ > 0);
    return S_OK;
}

HRESULT CAimingTrace::get_Count(int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = count_;
    return S_OK;
}

HRESULT CAimingTrace::get_First(int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = first_;
    return S_OK;
}

HRESULT CAimingTrace::get_Last(int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = first_ + count_ - 1;
    return S_OK;
}

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

HRESULT CAimingTrace::get_MaxTimeBeforeShot(float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = maxTimeBeforeShot_;
    return S_OK;
}

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

HRESULT CAimingTrace::Index2Sec(int32_t nIndex, float* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    int32_t r;
    if (FAILED(sampleRate(&r)))
        return E_UNEXPECTED;
    *out = float(nIndex) / float(r);
    return S_OK;
}

HRESULT CAimingTrace::Sec2Index(float seconds, int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    int32_t r;
    if (FAILED(sampleRate(&r)))
        return E_UNEXPECTED;
    volatile float product = float(r) * seconds; // single precision, as the index is defined
    return kavro::checkedRound<int32_t>(product, out) ? S_OK : E_INVALIDARG;
}

HRESULT CAimingTrace::get_ReadOnly(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = toVariantBool(readOnly_);
    return S_OK;
}

HRESULT CAimingTrace::put_ReadOnly(VARIANT_BOOL value)
{
    Lock lock(mutex_);
    if (value && !readOnly_) {
        try {
            cutToCount();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        x_.narrow();
        y_.narrow();
        for (auto& c : channels_)
            c.values.narrow();
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
    for (size_t i = 0; i < channels_.size(); ++i) {
        if (channels_[i].name == name) {
            *dataIndex = int32_t(i + 1);
            return S_OK;
        }
    }
    if (channels_.size() >= size_t(kMostUserChannels))
        return E_OUTOFMEMORY;
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
    for (size_t i = 0; i < channels_.size(); ++i) {
        if (channels_[i].name == name) {
            *dataIndex = int32_t(i + 1);
            break;
        }
    }
    return S_OK;
}

CAimingTrace::UserChannel* CAimingTrace::userChannelAt(int32_t dataIndex, int32_t index)
{
    if (dataIndex < 1 || size_t(dataIndex) > channels_.size() || !inRange(index))
        return nullptr;
    return &channels_[size_t(dataIndex) - 1];
}

HRESULT CAimingTrace::get_UserData(int32_t dataIndex, int32_t index, int32_t* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    UserChannel* channel = userChannelAt(dataIndex, index);
    if (!channel)
        return E_INVALIDARG;
    *out = channel->values.at(position(index));
    return S_OK;
}

HRESULT CAimingTrace::put_UserData(int32_t dataIndex, int32_t index, int32_t value)
{
    Lock lock(mutex_);
    UserChannel* channel = userChannelAt(dataIndex, index);
    if (!channel)
        return E_INVALIDARG;
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
    std::vector<UserChannel> nc;
    nc.reserve(channels_.size());
    for (const auto& c : channels_)
        nc.push_back({pack(c.values), c.name});
    x_ = std::move(nx);
    y_ = std::move(ny);
    channels_ = std::move(nc);
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

// Reads a stream into fresh storage; the trace takes it over only when all of it was read.
HRESULT CAimingTrace::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    uint64_t inputBytes = 0;
    kavro::remainingBytes(stream, &inputBytes);
    const LoadBudget budget(inputBytes);
    using kavro::readValue;
    int32_t version = 0, first = 0, count = 0;
    if (FAILED(kavro::readVersion(stream, kCurrentVersion, &version)) || version < 1
        || FAILED(readValue(stream, &first)))
        return E_FAIL;
    int32_t ignored;
    if (version == 1 && FAILED(readValue(stream, &ignored)))
        return E_FAIL;
    if (FAILED(readValue(stream, &count)))
        return E_FAIL;
    count = std::max(count, 0);
    if (count > kMostSamples || int64_t(first) + count - 1 > INT32_MAX)
        return E_FAIL;

    SampleArray x, y;
    std::vector<UserChannel> channels;
    if (count > 0 && version <= 2) {
        int32_t pairForm = 0;
        if (FAILED(readValue(stream, &pairForm)))
            return E_FAIL;
        size_t pairSize = pairForm ? 4 : 8;
        if (!kavro::fitsInStream(stream, uint64_t(count), pairSize))
            return E_FAIL;
        if (!LoadBudget::charge(uint64_t(count) * 2 * sizeof(int32_t)))
            return E_OUTOFMEMORY;
        std::vector<int32_t> vx, vy;
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
        uint8_t forms = 0;
        if (FAILED(readValue(stream, &forms)))
            return E_FAIL;
        HRESULT hr = readChannel(stream, count, forms & 1, &x);
        if (SUCCEEDED(hr))
            hr = readChannel(stream, count, forms & 2, &y);
        if (FAILED(hr))
            return hr;
        if (version >= 4) {
            int32_t channelCount = 0;
            if (FAILED(readValue(stream, &channelCount)) || channelCount < 0
                || channelCount > kMostUserChannels
                // forms byte, name length and at least one run header per channel
                || !kavro::fitsInStream(stream, uint64_t(channelCount), 7))
                return E_FAIL;
            for (int32_t i = 0; i < channelCount; ++i) {
                UserChannel c;
                uint8_t form = 0;
                if (FAILED(readValue(stream, &form)) || FAILED(kavro::readBstr(stream, &c.name)))
                    return E_FAIL;
                hr = readChannel(stream, count, form & 1, &c.values);
                if (FAILED(hr))
                    return hr;
                channels.push_back(std::move(c));
            }
        }
    }

    Lock lock(mutex_);
    x_ = std::move(x);
    y_ = std::move(y);
    channels_ = std::move(channels);
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

} // namespace kavrodoc
