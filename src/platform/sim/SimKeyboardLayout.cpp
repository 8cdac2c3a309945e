#include "platform/sim/SimKeyboardLayout.hpp"

#include <unordered_map>

namespace talvori::sim {

namespace {

using Table = std::unordered_map<std::uint16_t, std::string>;

// What each key of a US keyboard types without modifiers, by virtual key code.
const Table& usTable() {
    static const auto* const table = new Table{
        {0, "a"},   {1, "s"},     {2, "d"},     {3, "f"},  {4, "h"},  {5, "g"},   {6, "z"},
        {7, "x"},   {8, "c"},     {9, "v"},     {11, "b"}, {12, "q"}, {13, "w"},  {14, "e"},
        {15, "r"},  {16, "y"},    {17, "t"},    {18, "1"}, {19, "2"}, {20, "3"},  {21, "4"},
        {22, "6"},  {23, "5"},    {24, "="},    {25, "9"}, {26, "7"}, {27, "-"},  {28, "8"},
        {29, "0"},  {30, "]"},    {31, "o"},    {32, "u"}, {33, "["}, {34, "i"},  {35, "p"},
        {36, "\r"}, {37, "l"},    {38, "j"},    {39, "'"}, {40, "k"}, {41, ";"},  {42, "\\"},
        {43, ","},  {44, "/"},    {45, "n"},    {46, "m"}, {47, "."}, {48, "\t"}, {49, " "},
        {50, "`"},  {51, "\b"},   {53, "\x1B"}, {65, "."}, {67, "*"}, {69, "+"},  {71, "\x1B"},
        {75, "/"},  {76, "\x03"}, {78, "-"},    {81, "="}, {82, "0"}, {83, "1"},  {84, "2"},
        {85, "3"},  {86, "4"},    {87, "5"},    {88, "6"}, {89, "7"}, {91, "8"},  {92, "9"},
    };
    return *table;
}

// The keys where a German layout differs from the US one. The accent keys are dead: alone they
// type nothing until the next key.
const Table& germanDifferences() {
    static const auto* const table = new Table{
        {6, "y"},  {16, "z"}, {24, ""},  {27, "ß"}, {30, "+"}, {33, "ü"},
        {39, "ä"}, {41, "ö"}, {42, "#"}, {44, "-"}, {50, ""},
    };
    return *table;
}

}  // namespace

std::optional<std::string> SimKeyboardLayout::characters(std::uint16_t keyCode) const {
    if (unavailable_) return std::nullopt;
    if (const auto found = overrides_.find(keyCode); found != overrides_.end()) {
        return found->second;
    }
    if (layout_ == Layout::german) {
        const auto& german = germanDifferences();
        if (const auto found = german.find(keyCode); found != german.end()) return found->second;
    }
    const auto& us = usTable();
    const auto found = us.find(keyCode);
    // A key that types nothing (a function key, a code no key has) gives an empty text.
    return found == us.end() ? std::string() : found->second;
}

}  // namespace talvori::sim
