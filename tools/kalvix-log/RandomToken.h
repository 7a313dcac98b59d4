// Tokens for the live view's server, from the system's cryptographic random source
// (/dev/urandom; BCryptGenRandom on Windows).
#pragma once

#include <string>

// 32 random bytes as 64 lower-case hex digits; false with `error` when the source cannot be read.
bool MakeRandomToken(std::string& token, std::string& error);
