#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A profile (INI-format) file held in memory, answering the two reads of the Windows profile API
// the way Windows and Wine answer them: the same trimming, matching, quote removal, cutting and
// return counts. It serves the native build, which has no profile API of its own.
class CProfileDocument {
  public:
    // Decodes and parses a whole file. A file that starts with a UTF-8, UTF-16LE or UTF-16BE byte
    // order mark is decoded accordingly. Any other file is read one byte per character
    // (ISO 8859-1): for ASCII text that is what Windows reads too, while non-ASCII text without a
    // mark depends on the machine's ANSI code page on Windows and so has no portable meaning.
    static CProfileDocument Parse(const std::string& bytes);

    // The document of a file that does not exist: every read finds nothing.
    CProfileDocument() = default;

    uint32_t GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                       uint32_t size) const;
    uint32_t GetSection(const wchar_t* section, wchar_t* buffer, uint32_t size) const;

  private:
    struct Entry {
        std::wstring name;
        bool hasValue = false;  // the line had an '='
        std::wstring value;
    };
    struct Section {
        std::wstring name;
        std::vector<Entry> entries;
    };

    void ParseText(const std::wstring& text);
    const Entry* FindEntry(const wchar_t* section, const wchar_t* key) const;

    // The first section holds the lines before any section header; it has an empty name and is
    // never found by a read.
    std::vector<Section> m_sections;
};
