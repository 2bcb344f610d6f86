// The program's one pseudo-random generator: a fixed 64-bit linear congruential sequence.
#pragma once

#include <cstdint>

namespace kelvak {

class Random {
 public:
  static constexpr std::uint64_t kMultiplier = (std::uint64_t{346} << 32) + 20021;  // 0x15A00004E35
  static constexpr std::uint64_t kIncrement = 1;
  static constexpr std::uint64_t kInitialState = 1;

  // Next raw value 0 .. 2^31 - 1: the upper half of the new state without its top bit.
  std::uint32_t next() {
    state_ = state_ * kMultiplier + kIncrement;
    return static_cast<std::uint32_t>(state_ >> 32) & 0x7FFFFFFFu;
  }

  // 0 .. n - 1 by plain remainder; 0 without a draw for n <= 0.
  std::int32_t random(std::int32_t n) {
    if (n <= 0) return 0;
    return static_cast<std::int32_t>(next() % static_cast<std::uint32_t>(n));
  }

  std::uint64_t state() const { return state_; }
  void setState(std::uint64_t s) { state_ = s; }

 private:
  std::uint64_t state_ = kInitialState;
};

}  // namespace kelvak
