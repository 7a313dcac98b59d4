// Pictures kept as BMP files, for a person to look at after a test run.
#pragma once

#include "Picture.h"

#include <string>

// Writes the picture as a 32-bit top-down BMP file; false when the file cannot be written.
bool SaveBmp(const Picture& picture, const std::string& path);
