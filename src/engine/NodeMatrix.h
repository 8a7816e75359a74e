#pragma once

#include <array>
#include <cstdint>

// The controller's full node matrix: 32 X (drive) by 52 Y (sense) channels.
constexpr int kMatrixXChannels = 32;
constexpr int kMatrixYChannels = 52;

// Node values of the last test, indexed [X channel][Y channel].
using NodeValueMatrix = std::array<std::array<uint16_t, kMatrixYChannels>, kMatrixXChannels>;

// Inclusive per-node limits derived from a reference sample, indexed [X][Y]; 0 where none was
// derived. Signed: an absolute deviation can take a lower limit below 0.
using LimitMatrix = std::array<std::array<int32_t, kMatrixYChannels>, kMatrixXChannels>;
