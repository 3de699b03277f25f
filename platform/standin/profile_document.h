#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A profile (INI-format) file held in memory, answering the two reads of the Windows profile API
// the way Windows and Wine answer them: the same trimming, matching, quote removal, cutting and
// return counts. It serves the native build, which has no profile API of its own.
class CProfileDocument {
  public:
    // One line of a section: a name, and a value after the first '='. Names and values are
    // trimmed; a value keeps its quotes.
    struct Entry {
        std::wstring name;
        bool hasValue = false;  // the line had an '='
        std::wstring value;
        uint32_t line = 0;  // 1-based, as an editor counts lines

        // Whether a section read lists the line: comments and lines with neither a name nor an
        // '=' (those that begin with a NUL) are left out.
        bool IsListed() const;
        // The line as a section read lists it: "name" or "name=value".
        std::wstring ListedText() const;
    };
    struct Section {
        std::wstring name;
        std::vector<Entry> entries;
        uint32_t line = 0;  // of its header; 0 for the lines before any header
    };

    enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

    // The encoding a file is read in, by its byte order mark; kAnsi without one.
    static Encoding EncodingOf(const std::string& bytes);

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

    // The sections in file order, duplicates included; a read finds only the first of a name.
    const std::vector<Section>& Sections() const { return m_sections; }

    // A value as a string read gives it to a buffer large enough: without a matching pair of
    // quotes around it.
    static std::wstring ValueAsRead(const std::wstring& value);

    // The form in which reads compare a section or key name: blanks trimmed, ASCII letters in
    // lower case. Names that a read takes for the same have the same form.
    static std::wstring MatchForm(const std::wstring& name);

  private:
    void ParseText(const std::wstring& text);
    const Entry* FindEntry(const wchar_t* section, const wchar_t* key) const;

    // The first section holds the lines before any section header; it has an empty name and is
    // never found by a read.
    std::vector<Section> m_sections;
};
