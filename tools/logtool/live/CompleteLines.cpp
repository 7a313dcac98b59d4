#include "CompleteLines.h"

#include "TextInput.h"

#include <cstring>

size_t ScanCompleteLines(std::string_view bytes, uint64_t offset, LineScan& scan,
                         const std::function<void(const CompleteLine&)>& use)
{
    size_t position = 0;
    while (position < bytes.size()) {
        const char* start = bytes.data() + position;
        const size_t available = bytes.size() - position;
        const void* feed = std::memchr(start, '\n', available);
        if (scan.skipping) {
            if (!feed)
                return bytes.size();   // still inside the long line: nothing of it is kept
            position += static_cast<size_t>(static_cast<const char*>(feed) - start) + 1;
            scan.skipping = false;
            continue;
        }
        if (!feed) {
            if (available <= TextLongestLine)
                break;   // waits for its LF
            CompleteLine line;
            line.offset = offset + position;
            line.number = ++scan.line;
            line.tooLong = true;
            use(line);
            scan.skipping = true;
            return bytes.size();
        }
        const size_t length = static_cast<size_t>(static_cast<const char*>(feed) - start);
        CompleteLine line;
        line.offset = offset + position;
        line.end = line.offset + length + 1;
        line.number = ++scan.line;
        if (length > TextLongestLine) {
            line.tooLong = true;
        } else {
            line.text = std::string_view(start, length);
            if (!line.text.empty() && line.text.back() == '\r')
                line.text.remove_suffix(1);
        }
        use(line);
        position += length + 1;
    }
    return position;
}
