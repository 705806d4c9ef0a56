#pragma once
// The delta and run-length code in which traces store each sample channel. A channel is a
// sequence of runs: a header byte (low nibble the run class, high nibble the width of the run
// length: 0x10 one byte, 0x20 two, 0x30 four), the unsigned little-endian length, then the
// payload: class 0 invalid samples (none), class 1 int8 differences, class 2 int16 differences,
// class 3 int32 values. Differences are taken from the previous valid sample.
#include "com/persist.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace kavrodoc {

constexpr int32_t kInvalidSample = 2147483647;

// The coded bytes of n samples (n may be 0: no bytes). False when memory runs out.
template <class T> bool encodeChannel(const T* values, uint32_t n, std::vector<uint8_t>* out);

// Writes the coded form of n >= 1 samples. Any short or failed write gives E_FAIL.
template <class T> HRESULT writeCodedChannel(IStream* stream, const T* values, uint32_t n);

// Reads exactly n samples into `values`. Malformed runs, runs past n and short reads give
// E_FAIL; nothing is read past the channel's last run.
HRESULT readCodedChannel(IStream* stream, int32_t* values, uint32_t n);
// The same into 16-bit values: S_FALSE, with the stream somewhere inside the channel, when a
// value does not fit.
HRESULT readCodedChannel(IStream* stream, int16_t* values, uint32_t n);

// The same over bytes in memory; *used receives the bytes the channel took.
HRESULT decodeChannel(const uint8_t* data, size_t size, int32_t* values, uint32_t n, size_t* used);
HRESULT decodeChannel(const uint8_t* data, size_t size, int16_t* values, uint32_t n, size_t* used);

// Checks a channel of n samples as decoding would, failing exactly where decoding fails, without
// expanding it. With `fits16`: whether every value of the runs before the end (or before the
// failure) fits 16 bits.
HRESULT scanChannel(const uint8_t* data, size_t size, uint32_t n, size_t* used, bool* fits16);
// The same over a stream, appending the channel's bytes to *kept as they are read.
HRESULT scanChannel(IStream* stream, uint32_t n, QByteArray* kept);

} // namespace kavrodoc
