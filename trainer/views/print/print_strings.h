#pragma once
// String ids of printing.
#include <cstdint>

namespace kavro::print {

constexpr uint32_t IDS_PRINT_FAILED = 32862; // "Print operation failed."
constexpr uint32_t IDS_UNTITLED = 32816;
constexpr uint32_t IDS_FACE_ARIAL = 61223;
constexpr uint32_t IDS_SHOT_NUMBER_OF = 61230; // "Shot number %1!d! of %2!d!"
constexpr uint32_t IDS_BRAND = 62100; // "KAVRO Shooter Training System"
constexpr uint32_t IDS_TARGET_TYPE_FIRST = 62101; // the four card types of the print target tool
constexpr uint32_t IDS_PAGE_SETUP_CAPTION = 62110;
constexpr uint32_t IDS_PAGE_SETUP_PAPER = 62111;
constexpr uint32_t IDS_PAGE_SETUP_MARGINS = 62112;
constexpr uint32_t IDS_PAGE_SETUP_LEFT = 62113;
constexpr uint32_t IDS_PAGE_SETUP_RIGHT = 62114;
constexpr uint32_t IDS_PAGE_SETUP_TOP = 62115;
constexpr uint32_t IDS_PAGE_SETUP_BOTTOM = 62116;
constexpr uint32_t IDS_PRINT_TARGET_CLIP = 62117;

// The print target tool's dialog and its controls.
constexpr uint16_t IDD_PRINT_TARGET = 254;
constexpr uint16_t IDC_EVENT_LABEL = 1000;
constexpr uint16_t IDC_EVENT_LIST = 1004;
constexpr uint16_t IDC_TYPE_LABEL = 1001;
constexpr uint16_t IDC_DISTANCE_LABEL = 1002;
constexpr uint16_t IDC_METERS_LABEL = 1003;
constexpr uint16_t IDC_SCORE_RINGS = 1090;
constexpr uint16_t IDC_PRINT = 1086;
constexpr uint16_t IDC_CLOSE = 2;
constexpr uint16_t IDC_EXPAND = 1081;
constexpr uint16_t IDC_PREVIEW_LABEL = 1005;

} // namespace kavro::print
