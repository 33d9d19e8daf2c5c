#include "convert/bitmap_rows.h"

#include <algorithm>
#include <cstring>

namespace palmdb::convert {

bool RowReader::Read(std::uint8_t* row, std::size_t rowBytes) {
  switch (compression_) {
    case BitmapCompression::kNone:
      if (size_ - position_ < rowBytes) {
        return false;
      }
      std::memcpy(row, data_ + position_, rowBytes);
      position_ += rowBytes;
      return true;
    case BitmapCompression::kScanLine:
      return ReadScanLine(row, rowBytes);
    case BitmapCompression::kRle:
    case BitmapCompression::kPackBits:
      for (std::size_t i = 0; i < rowBytes; ++i) {
        if (!(compression_ == BitmapCompression::kRle ? NextRleByte(&row[i])
                                                      : NextPackBitsByte(&row[i]))) {
          return false;
        }
      }
      return true;
  }
  return false;
}

bool RowReader::ReadScanLine(std::uint8_t* row, std::size_t rowBytes) {
  for (std::size_t group = 0; group < rowBytes; group += 8) {
    if (position_ >= size_) {
      return false;
    }
    const std::uint8_t changed = data_[position_++];
    const std::size_t count = std::min<std::size_t>(8, rowBytes - group);
    for (std::size_t k = 0; k < count; ++k) {
      if ((changed & (0x80u >> k)) != 0) {
        if (position_ >= size_) {
          return false;
        }
        row[group + k] = data_[position_++];
      } else {
        row[group + k] = previous_[group + k];
      }
    }
  }
  std::memcpy(previous_.data(), row, rowBytes);
  return true;
}

bool RowReader::NextRleByte(std::uint8_t* out) {
  while (left_ == 0) {
    if (size_ - position_ < 2) {
      return false;
    }
    left_ = data_[position_];
    pattern_[0] = data_[position_ + 1];
    position_ += 2;
  }
  --left_;
  *out = pattern_[0];
  return true;
}

bool RowReader::NextPackBitsByte(std::uint8_t* out) {
  while (literal_ == 0 && left_ == 0) {
    if (position_ >= size_) {
      return false;
    }
    const int count = static_cast<std::int8_t>(data_[position_++]);
    if (count >= 0) {
      literal_ = static_cast<std::size_t>(count + 1) * unit_;
    } else if (count != -128) {
      if (size_ - position_ < unit_) {
        return false;
      }
      std::memcpy(pattern_, data_ + position_, unit_);
      position_ += unit_;
      left_ = static_cast<std::size_t>(1 - count) * unit_;
      phase_ = 0;
    }
  }
  if (literal_ != 0) {
    if (position_ >= size_) {
      return false;
    }
    --literal_;
    *out = data_[position_++];
    return true;
  }
  --left_;
  *out = pattern_[phase_];
  phase_ = (phase_ + 1) % unit_;
  return true;
}

}  // namespace palmdb::convert
