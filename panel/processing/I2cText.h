// Text of the I2C bus control window: the data editor's hexadecimal digit pairs, the slave
// address and byte count fields, the checks made before a transfer and the bytes of a read.
#pragma once

#include "FrameFormat.h"
#include "TextFormat.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// What stops a WRITE or READ before the library is called.
enum class I2cInputError {
    None,
    NoBytesToSend,    // WRITE with no complete pair in the editor
    TooManyBytes,     // more than I2cMaxTransferBytes
    NoByteCount,      // READ with a byte count of 0, empty or not a number
    NoSlaveAddress,   // the address field yields no hexadecimal digit
    NotHexData,       // a data pair yields no hexadecimal digit
};

// The message box text of an input error ("" for None).
const char* I2cInputErrorText(I2cInputError error);

// The byte counts a WRITE (the editor's pair count) and a READ (the BYTES field) accept.
I2cInputError CheckWriteByteCount(uint32_t count);
I2cInputError CheckReadByteCount(uint32_t count);

// Complete two-character pairs in an editor text of `length` characters; line breaks count as
// characters.
uint32_t HexPairCount(size_t length);

// The "%2X" conversion at the start of text: blanks (and line breaks) skipped, then one or two
// hexadecimal digits of either case. False when no digit follows the blanks.
bool ScanHexByte(std::string_view text, uint8_t& value);

// Converts `count` pairs, pair i with ScanHexByte from character 2i on (so a conversion may run
// past its own pair's blanks into the next characters). Returns the number of bytes converted:
// `count`, or the index of the first pair that yields no hexadecimal digit.
uint32_t ScanHexPairs(std::string_view text, uint32_t count, uint8_t* bytes);

// The BYTES field as an unsigned decimal number, blanks around it allowed; 0 when it is not a
// number. A number beyond 32 bits reads as the largest 32-bit value.
uint32_t ReadByteCountText(std::string_view text);

// "%02X" for each byte, one after another without separators.
void FormatHexBytes(TextSink& sink, const uint8_t* bytes, uint32_t count);
