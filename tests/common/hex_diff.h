#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Hex dump of both sequences around their first difference, for golden-byte assertions:
//   EXPECT_EQ(actual, expected) << hex_diff(actual, expected);
std::string hex_diff(const Bytes& actual, const Bytes& expected);

// "59 00 11" -> {0x59, 0x00, 0x11}
Bytes hex_bytes(const std::string& text);
