// Device frames and request bytes as the tests expect them on the wire.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

Bytes SpectrumFrame(uint32_t measCount);
Bytes TextReplyFrame(const std::string& text);       // 58 bytes, text padded with zeros to 54
Bytes ConfigReplyFrame(const Bytes& configuration);  // 276 bytes
Bytes I2cReplyFrame(const Bytes& data);              // 192 bytes, one byte per word from offset 10
Bytes GpioFrame(uint16_t status);                    // 6 bytes
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Padded(Bytes block, size_t length);           // zero bytes appended up to `length`

// A request as the library must send it: marker, opcode, 16-bit words.
Bytes Request(uint16_t opcode, std::initializer_list<uint16_t> words = {});
uint32_t MeasCountOf(const uint8_t* record);
