// Code page 932's lead bytes, written out here row by row rather than taken
// from the product, so that a wrong edge in the product's own test shows.
#pragma once

// Row = the byte's high nibble: lead bytes are 0x81-0x9F and 0xE0-0xFC.
inline bool ListedAsLeadByte(unsigned byte) {
  static const char rows[16][17] = {
      "0000000000000000", "0000000000000000", "0000000000000000", "0000000000000000",  // 0x00-0x3F
      "0000000000000000", "0000000000000000", "0000000000000000", "0000000000000000",  // 0x40-0x7F
      "0111111111111111", "1111111111111111",                                          // 0x80-0x9F
      "0000000000000000", "0000000000000000", "0000000000000000", "0000000000000000",  // 0xA0-0xDF
      "1111111111111111", "1111111111111000",                                          // 0xE0-0xFF
  };
  return byte < 256 && rows[byte >> 4][byte & 15] == '1';
}
