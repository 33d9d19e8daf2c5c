// The colours Palm OS shows a bitmap's pixel values in when the bitmap
// brings no colour table of its own: gray levels for 1, 2 and 4 bits, the
// system palette for 8 bits, and 5-6-5 direct colour for 16 bits.
#ifndef PALMDB_CONVERT_PALETTE_H
#define PALMDB_CONVERT_PALETTE_H

#include <cstdint>

namespace palmdb::convert {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// Gray levels run evenly from white at 0 to black at the depth's highest
// value (1 for one bit, 3 for two, 15 for four). `depth` is 1, 2 or 4.
Rgb GrayLevel(unsigned value, unsigned depth);

// The Palm OS 8-bit system palette: white at 0, the 6x6x6 colour cube
// without black, ten grays, five named colours, then black up to 255.
Rgb SystemColor(std::uint8_t index);

// A 5-6-5 pixel (red in the top five bits) widened to eight bits a channel
// by repeating each channel's high bits in the low ones, so that 0 stays 0
// and the highest value becomes 255.
Rgb Widen565(std::uint16_t pixel);

// The 5-6-5 value of an 8-bit colour: each channel's top 5, 6 or 5 bits.
std::uint16_t Narrow565(Rgb color);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PALETTE_H
