// The one translation unit of the tests that holds stb_image's code (reading PNGs back).
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
