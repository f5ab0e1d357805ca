// Reading and writing the transmit list's file: one item per line, lines
// ended by CR LF, 8-bit text as typed.
#include <string_view>

#include "platform/text_file.h"
#include "transmit/send_list.h"

namespace {

// Calls `take` for every line of the text; a line ends at CR, LF or CR LF.
// When `complete` is false the text was cut short by a read error, and its
// last line, which has no end, is left out.
template <class TTake> void ForEachLine(std::string_view text, bool complete, TTake take) {
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            if (complete)
                take(text);
            return;
        }
        take(text.substr(0, end));
        const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
}

} // namespace

bool TCanSendList::Load() {
    const std::string fileName = GetFileName();
    if (!platform::FileExists(fileName))
        return true;
    std::string content;
    const bool complete = platform::ReadWholeFile(fileName, content, &FLastError);
    ForEachLine(content, complete, [this](std::string_view line) {
        if (line.empty())
            return;
        auto item = std::make_unique<TCanSendItem>();
        if (item->FromText(std::string(line)))
            Add(std::move(item));
    });
    FFileUnread = !complete;
    return complete;
}

bool TCanSendList::Save() {
    if (FFileUnread) {
        FLastError = GetFileName() + " was not saved: it could not be read, and is kept as it was";
        return false;
    }
    std::string content;
    for (const auto& item : FItems) {
        content += item->ToText();
        content += "\r\n";
    }
    return platform::ReplaceFile(GetFileName(), content, &FLastError);
}
