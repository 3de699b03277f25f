#include "install/run/queue_backup.h"

#include <cstdio>
#include <iterator>
#include <utility>

#include "platform/hex_digit.h"
#include "platform/standin/wide_text.h"

namespace {

constexpr char kHeader[] =
    "; Print queues saved by the Korvel printer setup before it replaced them.\r\n"
    "; state: saved (not yet deleted), removed (deleted; made again if the install fails),\r\n"
    "; kept (still installed), replaced (the new install succeeded), restored (made again),\r\n"
    "; deleted (removed on request), superseded (another queue took its place after the run\r\n"
    "; stopped; restore this file with --force to bring it back), making (a queue was being\r\n"
    "; made in its place).\r\n"
    "; run: begun (still changing queues, or stopped dead), ended, repaired (a later run put "
    "back\r\n"
    "; what it had deleted).\r\n";

const char* const kStateNames[] = {"saved",    "removed", "kept",       "replaced",
                                   "restored", "deleted", "superseded", "making"};
const char* const kRunStateNames[] = {"begun", "ended", "repaired"};

template <typename State, size_t N>
bool StateOf(const std::string& value, const char* const (&names)[N], State& state) {
    for (size_t i = 0; i < N; ++i) {
        if (value == names[i]) {
            state = static_cast<State>(i);
            return true;
        }
    }
    return false;
}

// Backslash escapes for the characters that would end or hide a line, and in a name for the "="
// that ends the name: a value of any content stays on its one line.
std::string Escape(const std::string& text, bool name = false) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F || (name && c == '=')) {
            char code[8] = {};
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                if (i + 2 >= text.size())
                    return false;
                const int high = HexDigitValue(text[i + 1]);
                const int low = HexDigitValue(text[i + 2]);
                if (high < 0 || low < 0)
                    return false;
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const uint8_t byte : bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

bool FromHex(const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

void Line(std::string& out, const std::string& key, const std::string& value) {
    out += key + "=" + value + "\r\n";
}

void Text(std::string& out, const std::string& key, const std::wstring& value) {
    Line(out, key, Escape(EncodeUtf8(value)));
}

// Applies one key=value line to the entry being read. False for a line that no backup has.
bool ApplyLine(const std::string& key, const std::string& raw, CQueueBackup::Entry& entry) {
    std::string value;
    if (!Unescape(raw, value))
        return false;
    QueueRecord& record = entry.record;
    const std::wstring wide = DecodeUtf8(value);
    if (key == "name") {
        record.name = wide;
    } else if (key == "state") {
        return StateOf(value, kStateNames, entry.state);
    } else if (key == "default") {
        if (value != "yes" && value != "no")
            return false;
        record.isDefault = value == "yes";
    } else if (key == "default-after") {
        entry.defaultAfter = wide;
    } else if (key == "making") {
        if (value != "new" && value != "again")
            return false;
        entry.making.newQueue = value == "new";
    } else if (key == "making-name") {
        entry.making.name = wide;
    } else if (key == "making-device") {
        entry.making.device = wide;
    } else if (key == "making-driver") {
        entry.making.driver = wide;
    } else if (key == "driver") {
        record.driver = wide;
    } else if (key == "driver-package") {
        record.driverPackage = wide;
    } else if (key.rfind("setting.", 0) == 0) {
        std::string name;
        if (!Unescape(key.substr(8), name))
            return false;
        record.settings.emplace_back(DecodeUtf8(name), wide);
    } else if (key == "device-mode") {
        return FromHex(value, record.deviceMode);
    } else if (key == "data.key") {
        record.data.push_back(QueueDataValue{wide, L"", 0, {}});
    } else if (key.rfind("data.", 0) == 0 && !record.data.empty()) {
        QueueDataValue& data = record.data.back();
        if (key == "data.name") {
            data.name = wide;
        } else if (key == "data.type") {
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
                value.size() > 10)
                return false;
            const unsigned long long type = std::stoull(value);
            if (type > 0xFFFFFFFFull)
                return false;
            data.type = static_cast<uint32_t>(type);
        } else if (key == "data.bytes") {
            return FromHex(value, data.bytes);
        } else {
            return false;
        }
    } else {
        return false;
    }
    return true;
}

// The install record's fields by their names in a backup.
struct RecordField {
    const char* key;
    std::wstring InstallRecord::*member;
};
constexpr RecordField kRecordFields[] = {
    {"model", &InstallRecord::model},
    {"port", &InstallRecord::port},
    {"driver-version", &InstallRecord::driverVersion},
    {"installed-at", &InstallRecord::installedAt},
    {"version", &InstallRecord::version},
    {"setup-version", &InstallRecord::setupVersion},
};

// Applies one "record-<field>" line of the [run] section.
bool ApplyRecordLine(const std::string& field, const std::wstring& value, CQueueBackup& backup) {
    for (const RecordField& known : kRecordFields) {
        if (field != known.key)
            continue;
        backup.recordKnown = true;
        if (!backup.recordAtStart)
            backup.recordAtStart.emplace();
        (*backup.recordAtStart).*known.member = value;
        return true;
    }
    return false;
}

// Applies one key=value line of the [run] section. False for a line that no backup has.
bool ApplyRunLine(const std::string& key, const std::string& raw, CQueueBackup& backup) {
    std::string value;
    if (!Unescape(raw, value))
        return false;
    if (key == "state")
        return StateOf(value, kRunStateNames, backup.run);
    const std::wstring wide = DecodeUtf8(value);
    if (key == "command")
        backup.command = wide;
    else if (key == "printer")
        backup.printer = wide;
    else if (key == "account")
        backup.account = wide;
    else if (key == "default-at-start")
        backup.defaultAtStart = wide;
    else if (key == "record" && value == "none")
        backup.recordKnown = true;
    else if (key.rfind("record-", 0) == 0)
        return ApplyRecordLine(key.substr(7), wide, backup);
    else
        return false;
    return true;
}

// Reads the lines of a backup's text into `read`; with `runOnly`, up to its first [queue] line,
// which `metQueue` tells whether it met.
bool ParseLines(const std::string& text, bool runOnly, CQueueBackup& read, bool& metQueue) {
    metQueue = false;
    bool inRun = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line == "[run]" && read.entries.empty()) {
            inRun = true;
            continue;
        }
        if (line == "[queue]") {
            metQueue = true;
            if (runOnly)
                return true;
            inRun = false;
            read.entries.emplace_back();
            continue;
        }
        const size_t equals = line.find('=');
        if (inRun) {
            if (equals == std::string::npos ||
                !ApplyRunLine(line.substr(0, equals), line.substr(equals + 1), read))
                return false;
            continue;
        }
        if (equals == std::string::npos || read.entries.empty() ||
            !ApplyLine(line.substr(0, equals), line.substr(equals + 1), read.entries.back())) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string CQueueBackup::Format() const {
    std::string out = kHeader;
    out += "\r\n[run]\r\n";
    Line(out, "state", kRunStateNames[static_cast<size_t>(run)]);
    Text(out, "command", command);
    Text(out, "printer", printer);
    Text(out, "account", account);
    if (defaultAtStart)
        Text(out, "default-at-start", *defaultAtStart);
    if (recordKnown && !recordAtStart)
        Line(out, "record", "none");
    if (recordKnown && recordAtStart) {
        for (const RecordField& field : kRecordFields)
            Text(out, std::string("record-") + field.key, (*recordAtStart).*field.member);
    }
    for (const Entry& entry : entries) {
        const QueueRecord& record = entry.record;
        out += "\r\n[queue]\r\n";
        Text(out, "name", record.name);
        Line(out, "state", kStateNames[static_cast<size_t>(entry.state)]);
        Line(out, "default", record.isDefault ? "yes" : "no");
        if (entry.defaultAfter)
            Text(out, "default-after", *entry.defaultAfter);
        if (entry.state == BackupState::kMaking) {
            Line(out, "making", entry.making.newQueue ? "new" : "again");
            Text(out, "making-name", entry.making.name);
            Text(out, "making-device", entry.making.device);
            Text(out, "making-driver", entry.making.driver);
        }
        Text(out, "driver", record.driver);
        Text(out, "driver-package", record.driverPackage);
        for (const auto& [key, value] : record.settings)
            Text(out, "setting." + Escape(EncodeUtf8(key), true), value);
        Line(out, "device-mode", Hex(record.deviceMode));
        for (const QueueDataValue& data : record.data) {
            Text(out, "data.key", data.key);
            Text(out, "data.name", data.name);
            Line(out, "data.type", std::to_string(data.type));
            Line(out, "data.bytes", Hex(data.bytes));
        }
    }
    return out;
}

bool CQueueBackup::Parse(const std::string& text, CQueueBackup& backup) {
    CQueueBackup read;
    bool metQueue = false;
    if (!ParseLines(text, false, read, metQueue))
        return false;
    for (const Entry& entry : read.entries) {
        if (entry.record.name.empty())
            return false;
    }
    backup = std::move(read);
    return true;
}

bool CQueueBackup::ParseRun(const std::string& head, bool whole, CQueueBackup& backup) {
    CQueueBackup read;
    bool metQueue = false;
    // Cut short, the head's last line may be a part of a line.
    if (!ParseLines(head, true, read, metQueue) || !(metQueue || whole))
        return false;
    backup = std::move(read);
    return true;
}

bool CQueueBackup::HoldsPendingQueue() const {
    for (const Entry& entry : entries) {
        if (entry.state == BackupState::kSaved || entry.state == BackupState::kRemoved ||
            entry.state == BackupState::kMaking)
            return true;
    }
    return false;
}

bool CQueueBackup::HoldsUnrestoredQueue() const {
    for (const Entry& entry : entries) {
        if (entry.state == BackupState::kSuperseded)
            return true;
    }
    return HoldsPendingQueue();
}
