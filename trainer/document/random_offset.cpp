#include "random_offset.h"

#include <ctime>

namespace {

constexpr int kEntries = 60;
constexpr int kTable[kEntries][2] = {
    {0, 50},  {0, -50},   {-29, 30}, {29, 20},   {-30, -30}, {28, 20},   {-33, 10}, {20, -28}, {34, 0},   {0, 29},
    {-30, 0}, {-10, -25}, {-18, 20}, {24, 10},   {25, -10},  {-22, -13}, {10, 18},  {0, -22},  {-18, 10}, {13, -14},
    {18, 0},  {-19, 0},   {-6, 20},  {-12, -17}, {15, 13},   {-12, 15},  {-16, 9},  {7, -17},  {17, 6},   {4, 19},
    {18, -8}, {-18, 6},   {-5, -15}, {-12, 9},   {12, 8},    {12, 10},   {-4, 16},  {-12, -5}, {5, 11},   {-13, 4},
    {6, -11}, {12, 0},    {-6, -9},  {-6, -11},  {10, 5},    {9, -5},    {0, 10},   {0, -15},  {-7, -8},  {7, 7},
    {3, -7},  {-11, 0},   {-5, -5},  {0, 5},     {45, 0},    {-45, 0},   {3, -2},   {-2, 2},   {2, 2},    {0, 0},
};

} // namespace

std::pair<float, float> RandomOffsetTable::next(float radius)
{
    int p = random_.next() * (kEntries - 1) / kavro::CrtRandom::kMax;
    if (used_[p]) {
        int found = -1;
        for (int j = 0; j < kEntries && found < 0; ++j) {
            if (p - j >= 0 && !used_[p - j])
                found = p - j;
            else if (p + j < kEntries && !used_[p + j])
                found = p + j;
        }
        if (found < 0)
            used_.fill(false); // a round is complete: start the next one at p
        else
            p = found;
    }
    used_[p] = true;
    return {kTable[p][0] * radius / 100.0f, kTable[p][1] * radius / 100.0f};
}

std::pair<float, float> NextRandomOffset(float radius)
{
    static RandomOffsetTable table = [] {
        kavro::programRandom().seed(static_cast<uint32_t>(std::time(nullptr)));
        return RandomOffsetTable(kavro::programRandom());
    }();
    return table.next(radius);
}
