#include "reference_decode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace kavro::test {

namespace {

void decodeCommon(std::span<const uint8_t> b, DecodedVantage* d)
{
    d->x = ((b[1] & 7) << 7 | (b[0] & 0x7F)) - 512;
    d->y = ((b[2] & 0x3F) << 4 | ((b[1] >> 3) & 0xF)) - 512;
    d->signal = ((b[4] & 7) << 7 | (b[3] & 0x7F)) / 2;
    d->piezo = ((b[5] & 0xF) << 4 | ((b[4] >> 3) & 0xF)) * 4;
}

double direction(double dx, double dy)
{
    double a = std::atan2(dy, dx);
    if (a < 0)
        a += 2 * std::numbers::pi;
    return a;
}

double wrap(double a)
{
    while (a > std::numbers::pi)
        a -= 2 * std::numbers::pi;
    while (a < -std::numbers::pi)
        a += 2 * std::numbers::pi;
    return a;
}

} // namespace

DecodedVantage decodeVantage(std::span<const uint8_t> b)
{
    DecodedVantage d;
    decodeCommon(b, &d);
    d.counter = (((b[5] >> 4) & 7) | (b[6] << 3)) & 0xFF;
    unsigned sum = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + (b[6] & 0xBF);
    d.valid = ((((b[6] >> 6) & 1) | (b[7] << 1)) & 0xFF) == (sum & 0xFF);
    return d;
}

DecodedVantage decodeClassic(std::span<const uint8_t> b)
{
    DecodedVantage d;
    decodeCommon(b, &d);
    d.counter = ((b[5] >> 4) & 7) | ((b[6] & 1) << 3);
    d.trigger = (((b[8] & 1) << 7 | (b[7] & 0x7F)) << 2) | ((b[6] >> 5) & 3);
    d.pulse = ((b[9] & 0xF) << 6) | ((b[8] >> 1) & 0x3F);
    unsigned s = 0;
    for (size_t i = 0; i < 10; ++i)
        s += b[i];
    s = (s - (b[6] & 0x1E)) & 0xFF;
    d.valid = (((s >> 4) ^ s) & 0xF) == unsigned((b[6] >> 1) & 0xF);
    return d;
}

DecodedBiathlon decodeBiathlon(std::span<const uint8_t> b)
{
    DecodedBiathlon d;
    unsigned sum = 0;
    for (size_t i = 0; i < 27; ++i)
        sum += b[i];
    d.checksumOk = ((~sum) & 0x7F) == unsigned(b[27] & 0x7F);
    auto bit = [&](int i) { return (b[size_t(i / 7)] >> (i % 7)) & 1; };
    for (int k = 0; k < 18; ++k)
        for (int i = 0; i < 10; ++i)
            d.words[k] |= bit(10 * k + i) << i;
    d.counter = (b[26] >> 2) & 0x1F;
    if (!d.checksumOk)
        return d;

    double P[5], Q[5], S[5], D[5], f[5], r[5], Sf[5], Df[5], c[5];
    int W[5];
    for (int k = 0; k < 5; ++k) {
        Q[k] = d.words[3 * k] - 512;
        P[k] = d.words[3 * k + 1] - 512;
        W[k] = d.words[3 * k + 2];
        S[k] = P[k] + Q[k];
        D[k] = P[k] - Q[k];
        f[k] = 1024.0 / (W[k] * 0.5 + 100);
        r[k] = (S[k] * f[k]) * (S[k] * f[k]) + (D[k] * f[k]) * (D[k] * f[k]);
        Sf[k] = S[k] * f[k];
        Df[k] = D[k] * f[k];
        c[k] = (k - 2) * 250.0;
    }
    int o[5] = {0, 1, 2, 3, 4};
    for (int pos = 0; pos < 4; ++pos) {
        int best = pos;
        for (int later = pos + 1; later < 5; ++later)
            if ((r[o[later]] < r[o[best]] && W[o[later]] > 31) || (W[o[best]] < 32 && W[o[later]] > 31))
                best = later;
        std::swap(o[pos], o[best]);
    }
    const int j = o[0];
    if (W[j] < 32)
        return d;
    bool neighbours = false;
    if (j == 0)
        neighbours = o[1] == 1;
    else if (j == 4)
        neighbours = o[1] == 3;
    else
        neighbours = std::abs(o[1] - j) <= 1
            && (std::abs(o[2] - j) < 2 || (std::abs(o[2] - j) == 2 && std::abs(o[3] - j) == 1 && r[3] * 1.3 > r[2]));
    if (!neighbours)
        return d;

    auto ratio = [&](int a, int b2) {
        const double dx = Sf[b2] - Sf[a], dy = Df[b2] - Df[a];
        if (std::fabs(dx) < 4 && std::fabs(dy) < 4)
            return -1.0;
        return std::fabs(c[a] - c[b2]) / std::hypot(dx, dy);
    };
    auto angle
        = [&](int a, int b2) { return wrap(direction(Sf[b2] - Sf[a], Df[b2] - Df[a]) - direction(c[b2] - c[a], 0)); };
    double e = 0, a = 0;
    if (j == 0 || j == 4) {
        const int n = j == 0 ? 1 : 3;
        e = ratio(j, n);
        a = angle(j, n);
    } else {
        const double e1 = ratio(j, j - 1), e2 = ratio(j, j + 1);
        e = e1 != -1 && e2 != -1 ? (e1 + e2) / 2 : e1 != -1 ? e1 : e2;
        double a1 = angle(j, j - 1), a2 = angle(j, j + 1);
        while (a2 - a1 > 1.5 * std::numbers::pi)
            a2 -= 2 * std::numbers::pi;
        while (a1 - a2 > 1.5 * std::numbers::pi)
            a2 += 2 * std::numbers::pi;
        a = wrap((a1 + a2) / 2);
    }
    d.x = c[j] - (std::sin(a) * Df[j] + std::cos(a) * Sf[j]) * e;
    d.y = e * (std::cos(a) * Df[j] - std::sin(a) * Sf[j]);
    d.intensity = W[j];
    d.valid = std::fabs(d.x) <= 750 && std::fabs(d.y) <= 250;
    return d;
}

ParsedBanner parseBanner(std::span<const uint8_t> bytes)
{
    ParsedBanner p;
    const size_t limit = std::min<size_t>(bytes.size(), 17);
    size_t open = 0;
    while (open < limit && bytes[open] != '(')
        ++open;
    if (open == limit)
        return p;
    size_t close = open;
    while (close < bytes.size() && bytes[close] != ')')
        ++close;
    if (close == bytes.size()) {
        if (bytes.back() != '\t')
            return p;
        close = bytes.size() - 1;
    }
    if (close < open + 9)
        return p;
    auto hexDigit = [](uint8_t c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 16; };
    const int stated = hexDigit(bytes[close - 2]) * 16 + hexDigit(bytes[close - 1]);
    unsigned sum = 0x29;
    for (size_t i = open; i < close - 2; ++i)
        sum += bytes[i];
    if (int(sum & 0xFF) != stated)
        return p;
    const std::string body(bytes.begin() + long(open), bytes.begin() + long(close) - 2);
    p.bannerChars = body.substr(1, 2);
    p.tag = body.substr(3, 3);
    std::vector<std::string> fields(1);
    for (size_t i = 6; i < body.size(); ++i) {
        if (body[i] == '\\')
            fields.emplace_back();
        else
            fields.back() += body[i];
    }
    fields.resize(std::max<size_t>(fields.size(), 5));
    p.modelText = fields[0];
    p.serial = fields[1];
    p.field3 = fields[2];
    p.field4 = fields[3];
    p.name = fields[4];
    p.modelNumber = std::atoi(p.modelText.c_str());
    p.ok = p.tag == "KVR";
    return p;
}

} // namespace kavro::test
