#include "serialsim/banner.h"

namespace kavro::serialsim {

uint8_t bannerChecksum(std::string_view body)
{
    unsigned sum = 0x29; // the closing ")" counts although it follows the digits
    for (char c : body)
        sum += uint8_t(c);
    return uint8_t(sum);
}

std::string buildBanner(const BannerFields& f)
{
    std::string body = "(" + f.bannerChars + f.tag + f.modelNumber + "\\" + f.serialNumber + "\\" + f.field3 + "\\"
        + f.field4 + "\\" + f.modelName;
    static constexpr char hex[] = "0123456789ABCDEF";
    const uint8_t sum = bannerChecksum(body);
    return f.text + body + hex[sum >> 4] + hex[sum & 0xF] + ")";
}

} // namespace kavro::serialsim
