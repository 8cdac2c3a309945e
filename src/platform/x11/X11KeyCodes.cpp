#include "platform/x11/X11KeyCodes.hpp"

#include <array>
#include <utility>

namespace talvori::x11 {

namespace {

// {Linux input code, virtual key code}. Where two keys share a virtual code, the first listed is
// the main one. The PC keys the reference keyboard lacks take the codes it gives them there:
// Print, Scroll Lock and Pause are F13-F15, Insert is Help, Num Lock is the keypad's Clear.
constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 120> kTable{{
    {30, 0},    {31, 1},    {32, 2},    {33, 3},    {35, 4},    {34, 5},    {44, 6},    {45, 7},
    {46, 8},    {47, 9},    {86, 10},   {48, 11},   {16, 12},   {17, 13},   {18, 14},   {19, 15},
    {21, 16},   {20, 17},   {2, 18},    {3, 19},    {4, 20},    {5, 21},    {7, 22},    {6, 23},
    {13, 24},   {10, 25},   {8, 26},    {12, 27},   {9, 28},    {11, 29},   {27, 30},   {24, 31},
    {22, 32},   {26, 33},   {23, 34},   {25, 35},   {28, 36},   {38, 37},   {36, 38},   {40, 39},
    {37, 40},   {39, 41},   {43, 42},   {51, 43},   {53, 44},   {49, 45},   {50, 46},   {52, 47},
    {15, 48},   {57, 49},   {41, 50},   {14, 51},   {1, 53},    {126, 54},  {125, 55},  {42, 56},
    {58, 57},   {56, 58},   {29, 59},   {54, 60},   {100, 61},  {97, 62},   {187, 64},  {83, 65},
    {55, 67},   {78, 69},   {69, 71},   {115, 72},  {114, 73},  {113, 74},  {98, 75},   {96, 76},
    {74, 78},   {188, 79},  {189, 80},  {117, 81},  {82, 82},   {79, 83},   {80, 84},   {81, 85},
    {75, 86},   {76, 87},   {77, 88},   {71, 89},   {190, 90},  {72, 91},   {73, 92},   {124, 93},
    {89, 94},   {95, 95},   {63, 96},   {64, 97},   {65, 98},   {61, 99},   {66, 100},  {67, 101},
    {87, 103},  {183, 105}, {99, 105},  {186, 106}, {184, 107}, {70, 107},  {68, 109},  {127, 110},
    {88, 111},  {185, 113}, {119, 113}, {110, 114}, {102, 115}, {104, 116}, {111, 117}, {62, 118},
    {107, 119}, {60, 120},  {109, 121}, {59, 122},  {105, 123}, {106, 124}, {108, 125}, {103, 126},
}};

template <class Visit>
void forEachKey(Visit visit) {
    for (const auto& entry : kTable) visit(entry.first, entry.second);
}

}  // namespace

std::optional<std::uint16_t> X11KeyCodes::virtualKeyCode(std::uint32_t xKeyCode) {
    if (xKeyCode < kEvdevOffset) return std::nullopt;
    const std::uint32_t evdev = xKeyCode - kEvdevOffset;
    std::optional<std::uint16_t> found;
    forEachKey([&](std::uint16_t code, std::uint16_t virtualCode) {
        if (!found && code == evdev) found = virtualCode;
    });
    return found;
}

std::vector<std::uint32_t> X11KeyCodes::xKeyCodes(std::uint16_t virtualKeyCode) {
    std::vector<std::uint32_t> codes;
    forEachKey([&](std::uint16_t code, std::uint16_t virtualCode) {
        if (virtualCode == virtualKeyCode) codes.push_back(code + kEvdevOffset);
    });
    return codes;
}

}  // namespace talvori::x11
