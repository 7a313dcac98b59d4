// Reading numbers out of text without the C locale: '.' is always the decimal point.
// Each reader starts exactly at p (no blank skipping) and returns the position after the number,
// or nullptr when no number starts there. Nothing is read beyond end.
#pragma once

#include <cstdint>

bool IsBlankChar(char c); // blank, tab, CR, LF, vertical tab, form feed
const char* SkipBlanks(const char* p, const char* end);

// Decimal floating-point number as "%f" accepts it: optional sign, digits with an optional
// fraction and exponent, or "inf"/"nan".
const char* ReadDouble(const char* p, const char* end, double& value);
// The same, rounded once to single precision (not via double).
const char* ReadFloat(const char* p, const char* end, float& value);
// Integer in base 10 or 16 (an optional "0x" prefix for 16), optional sign; the value is kept
// modulo 2^64 and a '-' negates it, so the low bits of any written number come out right.
const char* ReadInteger(const char* p, const char* end, int base, uint64_t& value);
