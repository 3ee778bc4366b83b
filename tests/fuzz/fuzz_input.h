// A cursor over a fuzzer's input bytes. Reads past the end give zeros, so every input, however
// short, is a complete case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pellix::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t Remaining() const { return size_ - pos_; }
  bool Empty() const { return pos_ >= size_; }

  template <typename T>
  T Take() {
    T value{};
    const size_t n = Remaining() < sizeof(T) ? Remaining() : sizeof(T);
    if (n > 0) std::memcpy(&value, data_ + pos_, n);
    pos_ += n;
    return value;
  }
  uint8_t Byte() { return Take<uint8_t>(); }
  bool Bool() { return (Byte() & 1) != 0; }
  // Any bit pattern: NaN, infinities and denormals included.
  float RawFloat() { return Take<float>(); }
  // A value in [-range, range] from 16 bits, with exact zero and small steps reachable.
  float Ranged(float range) { return (static_cast<float>(Take<int16_t>()) / 32767.0f) * range; }
  // Either a ranged value or, one time in eight, any bit pattern.
  float Float(float range) {
    const uint8_t kind = Byte();
    return (kind & 7) == 0 ? RawFloat() : Ranged(range);
  }
  // The rest of the input.
  const uint8_t* Rest(size_t* size) {
    *size = Remaining();
    const uint8_t* p = data_ + pos_;
    pos_ = size_;
    return p;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace pellix::fuzz
