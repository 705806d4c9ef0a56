#pragma once
// String ids of the information page and the shot page.
#include <cstdint>

namespace kavro::info {

constexpr uint32_t IDS_FORMAT_MM = 61224; // "%-3.1f mm"
constexpr uint32_t IDS_FORMAT_SECONDS = 61229; // "%-5.1f sec"
// The 20 title texts, in the order of infoTitleIds().
constexpr uint32_t IDS_INFO_FIRST_TITLE = 62000;
// The page's own texts.
constexpr uint32_t IDS_INFO_INTRO = 62030;
constexpr uint32_t IDS_INFO_START_PRACTICE = 62031;
constexpr uint32_t IDS_INFO_OPEN = 62032;
constexpr uint32_t IDS_INFO_SHOOTER = 62033;
constexpr uint32_t IDS_INFO_COMMENTS = 62034;
constexpr uint32_t IDS_INFO_EVENT = 62035;
constexpr uint32_t IDS_INFO_DATE = 62036;
constexpr uint32_t IDS_INFO_MODEL = 62037;
constexpr uint32_t IDS_INFO_PRACTICE = 62038;
constexpr uint32_t IDS_INFO_STANDING = 62039;
constexpr uint32_t IDS_INFO_PRONE = 62040;
constexpr uint32_t IDS_INFO_NOT_AVAILABLE = 62041; // "n/a": a figure without the shots it needs
// The shot page.
constexpr uint32_t IDS_SHOT_NUMBER = 62050;
constexpr uint32_t IDS_SHOT_TIME = 62051;
constexpr uint32_t IDS_SHOT_PULSE = 62052;
constexpr uint32_t IDS_SHOT_RESULT = 62053;
constexpr uint32_t IDS_SHOT_ELAPSED = 62054;
constexpr uint32_t IDS_SHOT_INTERVAL_PREV = 62055;
constexpr uint32_t IDS_SHOT_INTERVAL_NEXT = 62056;

} // namespace kavro::info
