#include "platform/standin/profile_document.h"

#include <algorithm>
#include <cwchar>

#include "platform/standin/wide_text.h"

namespace {

// The blanks the profile API trims: the ASCII white space, plus Ctrl-Z, which ends old DOS files.
// Other Unicode spaces (U+00A0, U+3000) are kept, as Wine keeps them.
bool IsProfileSpace(wchar_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A;
}

// Names match without regard to the case of ASCII letters; other letters, as in Wine, compare as
// they are. CJK has no case.
wchar_t FoldCase(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? c + 0x20 : c;
}

bool IsQuoted(const std::wstring& value) {
    return value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0];
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return FoldCase(x) == FoldCase(y); });
}

std::wstring Trimmed(const wchar_t* text) {
    std::wstring s(text);
    size_t begin = 0;
    while (begin < s.size() && IsProfileSpace(s[begin]))
        ++begin;
    size_t end = s.size();
    while (end > begin && IsProfileSpace(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// Names and values are NUL-terminated texts on Windows: whatever follows a NUL inside a line (as
// in a UTF-16 file without a byte order mark) is not part of them.
std::wstring AsCString(const std::wstring& text, size_t begin, size_t end) {
    std::wstring s = text.substr(begin, end - begin);
    const size_t nul = s.find(L'\0');
    if (nul != std::wstring::npos)
        s.resize(nul);
    return s;
}

// Copies at most `size` - 1 characters of `text` and a terminator; `size` is at least 1.
size_t CopyCut(wchar_t* dest, const std::wstring& text, size_t size) {
    const size_t n = std::min(text.size(), size - 1);
    std::copy_n(text.begin(), n, dest);
    dest[n] = L'\0';
    return n;
}

}  // namespace

bool CProfileDocument::Entry::IsListed() const {
    if (!name.empty() && name[0] == L';')
        return false;  // a comment
    return !name.empty() || hasValue;
}

std::wstring CProfileDocument::Entry::ListedText() const {
    return hasValue ? name + L"=" + value : name;
}

CProfileDocument::Encoding CProfileDocument::EncodingOf(const std::string& bytes) {
    auto startsWith = [&](const char* mark, size_t length) {
        return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
    };
    if (startsWith("\xEF\xBB\xBF", 3))
        return Encoding::kUtf8;
    if (startsWith("\xFF\xFE", 2))
        return Encoding::kUtf16Le;
    if (startsWith("\xFE\xFF", 2))
        return Encoding::kUtf16Be;
    return Encoding::kAnsi;
}

CProfileDocument CProfileDocument::Parse(const std::string& bytes) {
    std::wstring text;
    switch (EncodingOf(bytes)) {
        case Encoding::kUtf8:
            text = DecodeUtf8(bytes.substr(3));
            break;
        case Encoding::kUtf16Le:
            text = DecodeUtf16(bytes.substr(2), false);
            break;
        case Encoding::kUtf16Be:
            text = DecodeUtf16(bytes.substr(2), true);
            break;
        case Encoding::kAnsi:
            text = DecodeLatin1(bytes);
            break;
    }
    CProfileDocument document;
    document.ParseText(text);
    return document;
}

void CProfileDocument::ParseText(const std::wstring& text) {
    m_sections.assign(1, Section{});
    size_t next = 0;
    uint32_t line = 0;
    while (next < text.size()) {
        size_t begin = next;
        // Line numbers count a carriage return and the line feed after it as one line end, as
        // editors do, although the two end two lines here (the second one empty).
        if (begin == 0 || text[begin - 1] != L'\r' || text[begin] != L'\n')
            ++line;
        // A carriage return ends a line as a line feed does, alone as well as before one.
        const size_t newline = text.find_first_of(L"\r\n", begin);
        next = newline == std::wstring::npos ? text.size() : newline + 1;
        size_t end = next;
        while (begin < end && IsProfileSpace(text[begin]))
            ++begin;
        while (end > begin && IsProfileSpace(text[end - 1]))
            --end;
        if (begin == end)
            continue;

        if (text[begin] == L'[') {
            // The name runs to the last ']' of the line, blanks around it trimmed.
            const size_t close = text.rfind(L']', end - 1);
            if (close != std::wstring::npos && close > begin) {
                size_t nameBegin = begin + 1;
                size_t nameEnd = close;
                while (nameBegin < nameEnd && IsProfileSpace(text[nameBegin]))
                    ++nameBegin;
                while (nameEnd > nameBegin && IsProfileSpace(text[nameEnd - 1]))
                    --nameEnd;
                m_sections.push_back(Section{AsCString(text, nameBegin, nameEnd), {}, line});
                continue;
            }
        }

        Entry entry;
        entry.line = line;
        size_t nameEnd = end;
        const size_t equals = text.find(L'=', begin);
        if (equals != std::wstring::npos && equals < end) {
            nameEnd = equals;
            while (nameEnd > begin && IsProfileSpace(text[nameEnd - 1]))
                --nameEnd;
            size_t valueBegin = equals + 1;
            while (valueBegin < end && IsProfileSpace(text[valueBegin]))
                ++valueBegin;
            entry.hasValue = true;
            entry.value = AsCString(text, valueBegin, end);
        }
        entry.name = AsCString(text, begin, nameEnd);
        // Lines with an empty name ("=x") directly after one another are kept once. A name that
        // only reads as empty because it begins with a NUL counts as a name here, as in Wine.
        std::vector<Entry>& entries = m_sections.back().entries;
        if (nameEnd > begin || entries.empty() || !entries.back().name.empty()) {
            entries.push_back(std::move(entry));
        }
    }
}

const CProfileDocument::Entry* CProfileDocument::FindEntry(const wchar_t* section,
                                                           const wchar_t* key) const {
    const std::wstring sectionName = Trimmed(section);
    const std::wstring keyName = Trimmed(key);
    for (const Section& s : m_sections) {
        if (s.name.empty() || !EqualIgnoringCase(s.name, sectionName))
            continue;
        // Only the first section of a name is searched, as Windows does.
        for (const Entry& e : s.entries) {
            if (EqualIgnoringCase(e.name, keyName))
                return &e;
        }
        return nullptr;
    }
    return nullptr;
}

uint32_t CProfileDocument::GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                                     uint32_t size) const {
    if (buffer == nullptr || size == 0 || section == nullptr || key == nullptr)
        return 0;
    if (key[0] == L'\0')
        return 0;  // Windows answers an empty key name with 0, buffer untouched.
    const Entry* entry = FindEntry(section, key);
    std::wstring value = entry != nullptr && entry->hasValue ? entry->value : std::wstring();

    // A value in a matching pair of quotes loses them. Windows takes the closing quote off the
    // copied text only when the buffer could hold the value without its opening quote, so a value
    // cut by a buffer one character too small loses its last character instead: kept as it is.
    const bool quoted = IsQuoted(value);
    if (quoted)
        value.erase(0, 1);
    size_t n = CopyCut(buffer, value, size);
    if (quoted && size >= value.size() && n > 0)
        buffer[--n] = L'\0';
    return static_cast<uint32_t>(n);
}

uint32_t CProfileDocument::GetSection(const wchar_t* section, wchar_t* buffer,
                                      uint32_t size) const {
    if (buffer == nullptr || size == 0 || section == nullptr)
        return 0;
    const auto found = std::find_if(m_sections.begin(), m_sections.end(), [&](const Section& s) {
        return !s.name.empty() && EqualIgnoringCase(s.name, section);
    });
    if (found == m_sections.end()) {
        buffer[0] = L'\0';
        if (size >= 2)
            buffer[1] = L'\0';
        return 0;
    }

    // `left` counts the characters still free, the list's final NUL included.
    size_t left = size;
    size_t pos = 0;
    for (const Entry& entry : found->entries) {
        if (left <= 2)
            break;
        // An empty line would end the list.
        if (!entry.IsListed())
            continue;
        size_t n = CopyCut(buffer + pos, entry.name, left - 1);
        left -= n + 1;
        pos += n + 1;
        if (left < 2)
            break;
        if (entry.hasValue) {
            buffer[pos - 1] = L'=';
            n = CopyCut(buffer + pos, entry.value, left - 1);
            left -= n + 1;
            pos += n + 1;
        }
    }
    buffer[pos] = L'\0';
    if (left <= 1) {
        // The section did not fit: the last line is cut and followed by two NULs.
        if (pos > 0)
            buffer[pos - 1] = L'\0';
        return size - 2;
    }
    return static_cast<uint32_t>(size - left);
}

std::wstring CProfileDocument::ValueAsRead(const std::wstring& value) {
    return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

std::wstring CProfileDocument::MatchForm(const std::wstring& name) {
    std::wstring folded = Trimmed(name.c_str());
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
    return folded;
}
