// For the Intel HEX fuzz targets: random text almost never carries a right
// byte count and checksum, so the readers would refuse nearly every input at
// the first record. Reading each input once more with the sums made right
// lets changed addresses, types and data get past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The text with every line of ":" and hex digits given the byte count and
// checksum its bytes need; other lines stay as they are. Every line ends
// with "\n".
std::string WithRightSums(std::string_view text);

// Runs check on the fuzzer's input as it is, then on WithRightSums of it.
void CheckAsIsAndWithRightSums(const std::uint8_t* data, std::size_t size, void (*check)(std::string_view text));
