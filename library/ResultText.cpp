#include "ResultText.h"

#include "KalvixCtrl.h"

#include <cstdio>
#include <cstring>

namespace {

thread_local char ResultBuffer[ResultBufferSize];
HMODULE TextModule;

constexpr char UnknownErrorText[] = "ERROR: Unknown error.";

char* UnknownError(char* buffer)
{
    memset(buffer, 0, ResultBufferSize);
    strcpy(buffer, UnknownErrorText);
    return buffer;
}

// Formats the loaded pattern with the number and copies the result over the buffer's start.
size_t FormatNumberOverStart(char* buffer, uint32_t number)
{
    char tmpStrBfr[128];
    int length = snprintf(tmpStrBfr, sizeof tmpStrBfr, buffer, static_cast<int>(number));
    if (length < 0)
        length = 0;
    if (length > static_cast<int>(sizeof tmpStrBfr) - 1)
        length = sizeof tmpStrBfr - 1;
    memcpy(buffer, tmpStrBfr, static_cast<size_t>(length));
    return static_cast<size_t>(length);
}

} // namespace

char* ThreadResultBuffer()
{
    return ResultBuffer;
}

void SetResultTextModule(HMODULE module)
{
    TextModule = module;
}

char* ComposeResultText(int id, uint32_t number)
{
    char* buffer = ResultBuffer;
    memset(buffer, 0, ResultBufferSize);
    if (LoadStringA(TextModule, static_cast<UINT>(id), buffer, ResultBufferSize) <= 0)
        return UnknownError(buffer);

    if (id == RESULT_SYSTEM_ERROR) {
        const size_t prefix = FormatNumberOverStart(buffer, number);
        DWORD appended = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        number, 0, buffer + prefix,
                                        static_cast<DWORD>(ResultBufferSize - prefix - 1), nullptr);
        if (appended == 0)
            return UnknownError(buffer);
        // The system text ends with a line break; drop it.
        size_t end = prefix + appended;
        for (int cut = 0; cut < 2 && end > prefix && (buffer[end - 1] == '\n' || buffer[end - 1] == '\r'); ++cut)
            buffer[--end] = '\0';
    } else if (id == RESULT_INTERNAL_ERROR) {
        FormatNumberOverStart(buffer, number);
    }
    return buffer;
}
