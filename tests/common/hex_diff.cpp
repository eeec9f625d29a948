#include "hex_diff.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

std::string dump(const Bytes& bytes, size_t from, size_t to)
{
    std::string text;
    char cell[4];
    for (size_t i = from; i < to && i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%02X ", bytes[i]);
        text += cell;
    }
    return text;
}

}  // namespace

std::string hex_diff(const Bytes& actual, const Bytes& expected)
{
    size_t first = 0;
    while (first < actual.size() && first < expected.size() && actual[first] == expected[first])
        ++first;
    if (first == actual.size() && first == expected.size())
        return "identical";
    const size_t from = first < 8 ? 0 : first - 8;
    const size_t to = first + 24;
    std::ostringstream out;
    out << "first difference at byte " << first << " (sizes " << actual.size() << " and " << expected.size()
        << ")\n  actual   @" << from << ": " << dump(actual, from, to) << "\n  expected @" << from << ": "
        << dump(expected, from, to);
    return out.str();
}

Bytes hex_bytes(const std::string& text)
{
    Bytes bytes;
    std::istringstream in(text);
    std::string cell;
    while (in >> cell)
        bytes.push_back(static_cast<uint8_t>(std::stoul(cell, nullptr, 16)));
    return bytes;
}
