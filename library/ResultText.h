// The result texts the command entry returns.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr size_t ResultBufferSize = 512;

// The calling thread's result buffer: a returned text stays valid until the same thread calls
// into the library again, whatever other threads do.
char* ThreadResultBuffer();

// Sets the module whose string table holds the texts.
void SetResultTextModule(HMODULE module);

// Builds the text of result `id` in the calling thread's buffer. RESULT_SYSTEM_ERROR appends the
// system's message text for `number` (formatted "%05d"), RESULT_INTERNAL_ERROR carries `number`
// the same way.
char* ComposeResultText(int id, uint32_t number = 0);
