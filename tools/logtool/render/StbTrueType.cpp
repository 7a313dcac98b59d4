// The one translation unit that holds stb_truetype's code.
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>
