// The Shift_JIS lead-byte test of code page 932, whatever the system's own
// code page: the one rule that both the text functions and the POSIX loader
// seam (which must not take a trail byte 0x5C for a path separator) follow.
#pragma once

// A lead byte (0x81-0x9F, 0xE0-0xFC) starts a two-byte character.
inline bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// CR, LF and the terminator never complete a two-byte character (trail bytes
// are 0x40-0x7E and 0x80-0xFC): a lead byte before one of them stands alone,
// so no line end and no end of text is ever taken into a character.
inline bool CanEndPair(unsigned char byte) {
  return byte != 0 && byte != '\r' && byte != '\n';
}

// True when `p` holds a lead byte that pairs with the byte after it.
inline bool StartsPair(const char *p) {
  return IsLeadByte(static_cast<unsigned char>(p[0])) && CanEndPair(static_cast<unsigned char>(p[1]));
}
