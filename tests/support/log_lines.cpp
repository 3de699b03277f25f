#include "tests/support/log_lines.h"

std::vector<std::string> LogMessages(const std::string& logText) {
    static const std::string kOpening = "<![LOG[";
    static const std::string kClosing = "]LOG]!>";
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < logText.size()) {
        size_t end = logText.find('\n', start);
        if (end == std::string::npos)
            end = logText.size();
        std::string line = logText.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, kOpening.size(), kOpening) == 0) {
            const size_t closing = line.find(kClosing);
            messages.push_back(line.substr(kOpening.size(), closing - kOpening.size()));
            continue;
        }
        // "2026-12-08T09:15:01.029Z info pavonis: message": the message follows the first ": "
        // after the time and the level.
        const size_t time = line.find(' ');
        const size_t level = time == std::string::npos ? time : line.find(' ', time + 1);
        const size_t component = level == std::string::npos ? level : line.find(": ", level + 1);
        if (component != std::string::npos)
            messages.push_back(line.substr(component + 2));
    }
    return messages;
}
