#include "install/check/setup_folder_check.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "detect/usb_port.h"
#include "install/windows/inf_model_line.h"
#include "install/cups/ppd_file.h"
#include "platform/name_case.h"
#include "platform/native_path.h"
#include "platform/standin/profile_document.h"
#include "platform/standin/wide_text.h"
#include "setupdata/setup_context.h"

// The printer information file is parsed once by the profile document, which follows the rules of
// the Windows profile API (the native build's stand-in for it, held equal to Wine's by the
// differential test). Each question the wizard would ask as one profile read is then answered from
// maps built in one pass, so that a folder of many models is checked in time linear in its size.

namespace {

using Entry = CProfileDocument::Entry;
using Section = CProfileDocument::Section;

// The wizard takes a section read that comes back with this many characters or more for one that
// did not fit its buffer, and lists nothing of it.
constexpr size_t kSectionReadLimit = SetupContext::kSectionWidth - 2;

// A printer whose model lines the driver INF of its family must hold.
struct Printer {
    std::wstring name;
    uint32_t line;  // of its entry in PRINTER_NAME
};

std::wstring Bracketed(const std::wstring& section) {
    return L"[" + section + L"]";
}

std::wstring Number(size_t n) {
    return std::to_wstring(n);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
}

std::string AsciiLowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), AsciiLower);
    return text;
}

std::string TrimmedBytes(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// The checks of the printer information file. They add their findings and collect the printers of
// each family whose driver INF is checked next.
class CInfoFileCheck {
  public:
    explicit CInfoFileCheck(std::vector<SetupFinding>& findings) : m_findings(findings) {}

    // Index 0 holds the 24-pin printers, index 1 the 9-pin ones.
    void Run(const std::wstring& folder, std::vector<Printer> (&families)[2]) {
        m_families = &families;
        std::string bytes;
        if (!ReadNativeFile((folder + SetupContext::kInfoFileName).c_str(), bytes)) {
            Add(0, L"The printer information file is missing or cannot be read.",
                L"Put PrinterInfor.Inf, saved as UTF-16LE with a byte order mark, in the setup "
                L"folder.");
            return;
        }
        // The rest is not checked: names read in the wrong encoding would only bring findings of
        // sections that are there.
        if (!CheckEncoding(bytes))
            return;
        m_document = CProfileDocument::Parse(bytes);
        for (const Section& section : m_document.Sections()) {
            if (!section.name.empty())
                m_sections[CProfileDocument::MatchForm(section.name)].push_back(&section);
        }
        m_names = IndexKeys(SetupContext::kNameSection);
        m_types = IndexKeys(SetupContext::kTypeSection);

        if (const Section* list = Find(SetupContext::kSeriesSection)) {
            for (const Entry* line : ListedLines(*list, L"series")) {
                const std::wstring series = line->ListedText();
                const auto seen = m_series.emplace(CProfileDocument::MatchForm(series), line->line);
                if (!seen.second) {
                    Add(line->line,
                        L"Series " + series + L" is listed a second time (first on line " +
                            Number(seen.first->second) + L").",
                        L"Remove one of the two lines.");
                    continue;
                }
                CheckSeries(series, line->line);
            }
        } else {
            Add(0, L"The printer information file has no [PRINTER_SERIES] section.",
                L"Add [PRINTER_SERIES] and list each series in it, one a line.");
        }
        // The wizard offers the models of its series whether or not the list names it.
        if (m_series.emplace(CProfileDocument::MatchForm(SetupContext::kShownSeries), 0).second)
            CheckSeries(SetupContext::kShownSeries, 0);
    }

  private:
    void Add(uint32_t line, std::wstring problem, std::wstring fix) {
        m_findings.push_back(
            SetupFinding{SetupContext::kInfoFileName, line, std::move(problem), std::move(fix)});
    }

    // Without a byte order mark Windows reads the file in the machine's ANSI code page, so only
    // ASCII text means the same everywhere; a NUL byte shows UTF-16 text without its mark.
    bool CheckEncoding(const std::string& bytes) {
        if (CProfileDocument::EncodingOf(bytes) != CProfileDocument::Encoding::kAnsi)
            return true;
        uint32_t line = 1;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte == '\n' || (byte == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
                ++line;
            if (byte == 0 || byte >= 0x80) {
                Add(line,
                    L"The printer information file holds text that is not ASCII but has no byte "
                    L"order mark, so Windows reads it in the machine's ANSI code page.",
                    L"Save PrinterInfor.Inf as UTF-16LE with a byte order mark.");
                return false;
            }
        }
        return true;
    }

    // The first section of a name, which is the one every read finds; a later one is reported.
    const Section* Find(const std::wstring& name) {
        const auto found = m_sections.find(CProfileDocument::MatchForm(name));
        if (found == m_sections.end())
            return nullptr;
        std::vector<const Section*>& sections = found->second;
        if (sections.size() > 1) {
            Add(sections[1]->line,
                Bracketed(name) +
                    L" appears a second time, and Windows reads only the first, on "
                    L"line " +
                    Number(sections[0]->line) + L".",
                L"Merge the two " + Bracketed(name) + L" sections into one.");
            sections.resize(1);
        }
        return sections[0];
    }

    // The first entry of each key of a section, as string reads find it; a later one is reported.
    std::unordered_map<std::wstring, const Entry*> IndexKeys(const std::wstring& name) {
        std::unordered_map<std::wstring, const Entry*> keys;
        const Section* section = Find(name);
        if (section == nullptr)
            return keys;
        for (const Entry& entry : section->entries) {
            if (entry.name.empty())
                continue;
            const auto first = keys.emplace(CProfileDocument::MatchForm(entry.name), &entry);
            if (!first.second) {
                Add(entry.line,
                    Bracketed(name) + L" has a second entry for " + entry.name +
                        L", which is never read (the first, on line " +
                        Number(first.first->second->line) + L", is).",
                    L"Remove one of the two entries.");
            }
        }
        return keys;
    }

    // The lines of a section as the wizard lists them: a section too long for its read and lines
    // it skips for their length are reported, the skipped lines left out.
    std::vector<const Entry*> ListedLines(const Section& section, const wchar_t* what) {
        std::vector<const Entry*> lines;
        size_t readLength = 0;
        for (const Entry& entry : section.entries) {
            if (!entry.IsListed())
                continue;
            const size_t length = entry.ListedText().size();
            readLength += length + 1;
            if (length >= SetupContext::kLineWidth) {
                Add(entry.line,
                    L"A line of " + Bracketed(section.name) + L" is " + Number(length) +
                        L" characters long, and the wizard skips lines of 256 characters or more.",
                    L"Shorten the line to under 256 characters.");
                continue;
            }
            lines.push_back(&entry);
        }
        if (readLength >= kSectionReadLimit) {
            Add(section.line,
                Bracketed(section.name) + L" takes " + Number(readLength) +
                    L" characters in a section read, too many for the wizard's 2048-character "
                    L"read, so it lists none of its " +
                    what + L".",
                L"Shorten " + Bracketed(section.name) +
                    L" to at most 2045 characters, counting each line's length and one more.");
        } else if (readLength == 0) {
            Add(section.line, Bracketed(section.name) + L" lists no " + what + L".",
                std::wstring(L"List the ") + what + L" in " + Bracketed(section.name) +
                    L", one a line.");
        }
        return lines;
    }

    // `listedOn` is the line of the series in PRINTER_SERIES, 0 for the shown series unlisted.
    void CheckSeries(const std::wstring& series, uint32_t listedOn) {
        const Section* section = Find(series);
        if (section == nullptr) {
            if (listedOn != 0) {
                Add(listedOn, L"Series " + series + L" has no section " + Bracketed(series) + L".",
                    L"Add " + Bracketed(series) +
                        L" with the series' models, or remove the series from the list.");
            } else {
                Add(0,
                    L"The printer information file has no section " + Bracketed(series) +
                        L", whose models the wizard offers.",
                    L"Add " + Bracketed(series) + L" with the models the wizard should offer.");
            }
            return;
        }
        for (const Entry* line : ListedLines(*section, L"models"))
            CheckModel(*line, series);
    }

    void CheckModel(const Entry& line, const std::wstring& series) {
        const std::wstring model = line.ListedText();
        const auto seen = m_models.emplace(CProfileDocument::MatchForm(model), line.line);
        if (!seen.second) {
            Add(line.line,
                L"Model " + model + L" is listed a second time (first on line " +
                    Number(seen.first->second) + L").",
                L"Remove one of the two lines.");
            return;
        }
        // The wizard looks up the whole line, and no key of PRINTER_NAME can hold an '='.
        if (line.hasValue) {
            Add(line.line,
                L"The model line " + model + L" of " + Bracketed(series) +
                    L" holds an '=', so no entry of [PRINTER_NAME] can match it.",
                L"Put the model name alone on the line.");
            return;
        }
        const auto nameEntry = m_names.find(CProfileDocument::MatchForm(model));
        const std::wstring printer = nameEntry == m_names.end()
                                         ? std::wstring()
                                         : CProfileDocument::ValueAsRead(nameEntry->second->value);
        if (printer.empty()) {
            Add(line.line, L"PRINTER_NAME has no entry for " + model + L".",
                L"Add " + model + L"=<printer name> to [PRINTER_NAME].");
            return;
        }
        const uint32_t nameLine = nameEntry->second->line;
        if (printer.size() >= SetupContext::kNameWidth) {
            Add(nameLine,
                L"The printer name of " + model + L" is " + Number(printer.size()) +
                    L" characters long, and the wizard takes names under 200 characters only.",
                L"Shorten the printer name to under 200 characters.");
            return;
        }
        const size_t bad = printer.find_first_of(L"\",\\");
        if (bad != std::wstring::npos) {
            const std::wstring character = L"'" + std::wstring(1, printer[bad]) + L"'";
            Add(nameLine,
                L"The printer name " + printer + L" holds " + character +
                    L", which printer names may not hold.",
                L"Remove " + character + L" from the printer name.");
            return;
        }
        CheckType(printer, nameLine);
    }

    void CheckType(const std::wstring& printer, uint32_t nameLine) {
        const auto typeEntry = m_types.find(CProfileDocument::MatchForm(printer));
        if (typeEntry == m_types.end() || !typeEntry->second->hasValue) {
            Add(nameLine, L"PRINTER_TYPE has no entry for " + printer + L".",
                L"Add " + printer + L"=24 (24-pin) or " + printer +
                    L"=9 (9-pin) to [PRINTER_TYPE].");
            return;
        }
        const std::wstring value = CProfileDocument::ValueAsRead(typeEntry->second->value);
        const int32_t type = SetupContext::TypeOfValue(value.c_str());
        if (type != SetupContext::kType24Pin && type != SetupContext::kType9Pin) {
            Add(typeEntry->second->line,
                L"The PRINTER_TYPE of " + printer + L" is " + value + L", neither 24 nor 9.",
                L"Set it to 24 for the 24-pin driver or 9 for the 9-pin driver.");
            return;
        }
        (*m_families)[type == SetupContext::kType24Pin ? 0 : 1].push_back(
            Printer{printer, nameLine});
    }

    std::vector<SetupFinding>& m_findings;
    std::vector<Printer> (*m_families)[2] = nullptr;
    CProfileDocument m_document;
    std::unordered_map<std::wstring, std::vector<const Section*>> m_sections;
    std::unordered_map<std::wstring, const Entry*> m_names;
    std::unordered_map<std::wstring, const Entry*> m_types;
    // The line each series and model was first listed on, by the form reads compare names in.
    std::unordered_map<std::wstring, uint32_t> m_series;
    std::unordered_map<std::wstring, uint32_t> m_models;
};

// What the driver INF holds for one printer: the model line the Plug-and-Play path finds.
struct ModelLine {
    std::wstring printer;
    uint32_t nameLine = 0;  // of the printer's entry in PRINTER_NAME
    uint32_t line = 0;      // 0 until the line is found
    std::string identifier;
    std::string section;  // lower-cased
};

// One line of the INF's [Manufacturer] section: a models section and its decorations.
struct ManufacturerLine {
    std::string models;
    std::vector<std::string> decorations;
};

// An INF line of [Manufacturer] without its comment, split at its commas after the '='.
ManufacturerLine ParseManufacturerLine(const std::string& text) {
    std::string value;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted)
            break;
        value.push_back(c);
    }
    const size_t equals = value.find('=');
    if (equals != std::string::npos)
        value.erase(0, equals + 1);
    ManufacturerLine line;
    size_t begin = 0;
    for (bool first = true; begin <= value.size(); first = false) {
        const size_t comma = std::min(value.find(',', begin), value.size());
        std::string field = TrimmedBytes(value.substr(begin, comma - begin));
        if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
            field = field.substr(1, field.size() - 2);
        (first ? line.models : line.decorations.emplace_back()) = field;
        begin = comma + 1;
    }
    return line;
}

// A decoration for 64-bit Windows on x64: NTamd64, alone or followed by an OS version.
bool IsAmd64Decoration(const std::string& decoration) {
    const std::string lower = AsciiLowered(decoration);
    return lower.compare(0, 7, "ntamd64") == 0 && (lower.size() == 7 || lower[7] == '.');
}

// The catalog lines of an INF's [Version] section that 64-bit Windows heeds, by precedence: a
// CatalogFile.NTamd64 line before a CatalogFile.NT line before a plain CatalogFile line.
int CatalogKeyRank(const std::string& key) {
    const std::string lower = AsciiLowered(key);
    if (lower == "catalogfile.ntamd64")
        return 3;
    if (lower == "catalogfile.nt")
        return 2;
    return lower == "catalogfile" ? 1 : 0;
}

// The catalog file an INF's [Version] section names for 64-bit Windows, and the line that names
// it.
struct CatalogLine {
    int rank = 0;  // 0 while no line names one
    uint32_t line = 0;
    std::string name;
};

// Takes a [Version] line that names a catalog file into `catalog` when it outranks the one held.
void TakeCatalogLine(const std::string& text, uint32_t lineNumber, CatalogLine& catalog) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        return;
    const int rank = CatalogKeyRank(TrimmedBytes(text.substr(0, equals)));
    std::string name = TrimmedBytes(text.substr(equals + 1, text.find(';') - equals - 1));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    // A line without a name names no catalog.
    if (rank > catalog.rank && !name.empty())
        catalog = CatalogLine{rank, lineNumber, name};
}

// Whether the folder of a file below the setup folder holds a file of the name, its letters'
// case aside, as Windows looks for it.
// The name of the file `name` beside `file`, found as Windows finds files, whatever the case of
// its letters; empty when there is none.
std::wstring FileBeside(const std::wstring& root, const std::wstring& file,
                        const std::string& name) {
    StringList names;
    if (!ListNativeFolder((root + file.substr(0, file.rfind(L'\\'))).c_str(), names))
        return std::wstring();
    const std::wstring wanted = DecodeLatin1(name);
    const auto found = std::find_if(names.begin(), names.end(), [&](const std::wstring& present) {
        return SameNameIgnoringCase(present, wanted);
    });
    return found == names.end() ? std::wstring() : *found;
}

// Whether the bytes begin as a PKCS #7 signed-data file does, which a catalog is: a DER sequence
// (of any length form) whose first element is the object identifier 1.2.840.113549.1.7.2.
bool LooksLikeSignedData(const std::string& bytes) {
    static const std::string kSignedData = "\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02";
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0x30)
        return false;
    const unsigned char length = static_cast<unsigned char>(bytes[1]);
    // A short length, an indefinite one (0x80), or 0x80 plus the count of length bytes.
    const size_t header = length <= 0x80 ? 2 : 2 + (length & 0x7F);
    return length <= 0x84 && bytes.size() >= header + kSignedData.size() &&
           bytes.compare(header, kSignedData.size(), kSignedData) == 0;
}

void CheckDriverInf(const std::wstring& folder, int32_t type, const std::vector<Printer>& printers,
                    std::vector<SetupFinding>& findings) {
    if (printers.empty())
        return;
    const std::wstring file =
        std::wstring(SetupContext::kDriverFolder) + SetupContext::DriverInfOfType(type);
    const std::wstring family = type == SetupContext::kType24Pin ? L"24-pin" : L"9-pin";
    const auto add = [&](uint32_t line, std::wstring problem, std::wstring fix) {
        findings.push_back(SetupFinding{file, line, std::move(problem), std::move(fix)});
    };

    // The model lines wanted, by the key they begin with; printers of the same name share one.
    std::vector<ModelLine> wanted;
    std::unordered_map<std::string, size_t> byKey;
    for (const Printer& printer : printers) {
        std::wstring key = InfModelLine::KeyOf(printer.name.c_str());
        InfModelLine::UpperCaseMaker(key.data(), key.size());
        std::string bytes;
        if (!InfModelLine::SearchBytes(key.data(), key.size(), bytes)) {
            findings.push_back(SetupFinding{
                SetupContext::kInfoFileName, printer.line,
                L"The printer name " + printer.name +
                    L" holds characters the 8-bit driver INF cannot hold, so the Plug-and-Play "
                    L"setup can find no model line for it.",
                L"Write the printer name in Latin-1 characters only."});
            continue;
        }
        if (byKey.emplace(bytes, wanted.size()).second)
            wanted.push_back(ModelLine{printer.name, printer.line, 0, {}, {}});
    }

    std::string inf;
    if (!ReadNativeFile((folder + file).c_str(), inf)) {
        add(0,
            L"The driver INF of the " + family + L" printers is missing (" + printers[0].name +
                (printers.size() > 1 ? L" and " + Number(printers.size() - 1) + L" more use it)."
                                     : std::wstring(L" uses it).")),
            L"Put the " + family + L" driver package with its OEMPRINT.INF in " +
                file.substr(0, file.rfind(L'\\')) + L".");
        return;
    }

    // One pass over the lines as the Plug-and-Play reader takes them: split at line feeds, a
    // carriage return before one dropped.
    std::unordered_map<std::string, uint32_t> sections;  // lower-cased name: line of its header
    std::vector<ManufacturerLine> manufacturers;
    uint32_t manufacturerLine = 0;
    CatalogLine catalog;
    std::string section;
    uint32_t lineNumber = 0;
    for (size_t begin = 0; begin < inf.size();) {
        const size_t end = std::min(inf.find('\n', begin), inf.size());
        std::string line = inf.substr(begin, end - begin);
        begin = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string text = TrimmedBytes(line);
        if (!text.empty() && text[0] == '[' && text.find(']') != std::string::npos) {
            section = AsciiLowered(TrimmedBytes(text.substr(1, text.find(']') - 1)));
            sections.emplace(section, lineNumber);
            if (section == "manufacturer" && manufacturerLine == 0)
                manufacturerLine = lineNumber;
            continue;
        }
        if (section == "manufacturer" && !text.empty() && text[0] != ';')
            manufacturers.push_back(ParseManufacturerLine(text));
        if (section == "version")
            TakeCatalogLine(text, lineNumber, catalog);
        // A key is a name in double quotes, so the part of the line it may match ends at the
        // line's second quote.
        const size_t quote = line.empty() || line[0] != '"' ? std::string::npos : line.find('"', 1);
        if (quote == std::string::npos)
            continue;
        const auto key = byKey.find(line.substr(0, quote + 1));
        if (key == byKey.end() || wanted[key->second].line != 0)
            continue;
        ModelLine& model = wanted[key->second];
        if (InfModelLine::IdentifierOf(line.data(), line.size(), model.identifier)) {
            model.line = lineNumber;
            model.section = section;
        }
    }

    // Windows stages a driver package, the Plug-and-Play path's first step, only with a valid
    // signature, which its catalog file carries.
    static const std::wstring kUnsigned =
        L", and Windows installs only signed driver packages into the driver store (stage, Plug "
        L"and Play).";
    if (catalog.rank == 0) {
        const auto version = sections.find("version");
        add(version == sections.end() ? 0 : version->second,
            L"The driver INF names no catalog file: [Version] has no CatalogFile line" + kUnsigned,
            L"Add CatalogFile=<name>.cat to [Version] and put the driver package's signed catalog "
            L"of that name beside the INF.");
    } else if (const std::wstring present = FileBeside(folder, file, catalog.name);
               present.empty()) {
        add(catalog.line,
            L"The catalog file " + DecodeLatin1(catalog.name) +
                L" that the driver INF names is not beside it" + kUnsigned,
            L"Put the driver package's signed catalog beside the INF as " +
                DecodeLatin1(catalog.name) + L".");
    } else if (std::string bytes;
               !ReadNativeFile((folder + file.substr(0, file.rfind(L'\\') + 1) + present).c_str(),
                               bytes) ||
               !LooksLikeSignedData(bytes)) {
        add(catalog.line,
            L"The catalog file " + present +
                (bytes.empty() ? L" is empty or cannot be read"
                               : L" is no PKCS #7 signed catalog") +
                L": Windows installs the driver package only where test signing is on.",
            L"Put the catalog that signs the driver package (from the driver's maker, or made "
            L"with Inf2Cat and signed) beside the INF as " +
                present + L".");
        findings.back().severity = FindingSeverity::kWarning;
    }

    // The models sections for 64-bit Windows that the INF holds; the first names the fixes.
    std::unordered_map<std::string, uint32_t> amd64Sections;
    std::wstring amd64Name;
    uint32_t amd64Line = 0;
    for (const ManufacturerLine& manufacturer : manufacturers) {
        for (const std::string& decoration : manufacturer.decorations) {
            const std::string name = manufacturer.models + "." + decoration;
            const auto found = sections.find(AsciiLowered(name));
            if (!IsAmd64Decoration(decoration) || found == sections.end())
                continue;
            amd64Sections.emplace(found->first, found->second);
            if (amd64Name.empty()) {
                amd64Name = DecodeLatin1(name);
                amd64Line = found->second;
            }
        }
    }
    if (amd64Sections.empty()) {
        add(manufacturerLine,
            L"The driver INF has no models section for 64-bit Windows: no line of [Manufacturer] "
            L"names one with an NTamd64 decoration that the INF holds.",
            L"Decorate the models section with NTamd64 in [Manufacturer] (as in "
            L"%KORVEL%=KORVEL,NTamd64) and name the section so ([KORVEL.NTamd64]).");
    }
    const std::wstring target =
        amd64Name.empty() ? L"the models section for 64-bit Windows" : Bracketed(amd64Name);

    for (const ModelLine& model : wanted) {
        std::wstring key = InfModelLine::KeyOf(model.printer.c_str());
        InfModelLine::UpperCaseMaker(key.data(), key.size());
        if (model.line == 0) {
            add(amd64Line,
                L"The driver INF has no model line that the Plug-and-Play setup finds for " +
                    model.printer + L": one that begins with " + key +
                    L" and names USB from its first comma on.",
                L"Add the line " + key + L" = <install section>,USBPRINT\\<identifier> to " +
                    target + L".");
            continue;
        }
        if (!amd64Sections.empty() && amd64Sections.count(model.section) == 0) {
            add(model.line,
                L"The model line of " + model.printer +
                    L" lies outside the models section for 64-bit Windows, which Windows "
                    L"installs from.",
                L"Move the line into " + target + L".");
        }
        const std::wstring identifier = DecodeLatin1(model.identifier);
        const std::string lower = AsciiLowered(model.identifier);
        if (lower.compare(0, 4, "usb\\") == 0) {
            CUSBPort port;
            CString vid;
            CString pid;
            if (port.IsSupportedDevice(identifier.c_str(), vid, pid) == 0) {
                add(model.line,
                    L"The hardware identifier " + identifier + L" of " + model.printer +
                        L" names no VID and PID pair of the supported-device table.",
                    L"Give the VID and PID the printer reports; a new printer needs its pair in "
                    L"the supported-device table too.");
            }
        } else if (lower.compare(0, 9, "usbprint\\") != 0) {
            add(model.line,
                L"The model line of " + model.printer + L" gives '" + identifier +
                    L"' as its hardware identifier, which is not a USB one.",
                L"Put the printer's USB identifier (USBPRINT\\... or USB\\VID_xxxx&PID_yyyy), "
                L"without blanks, between the line's first two commas.");
        }
    }
}

// The PPD that a packager may put in a family's folder, which the Linux setup installs instead of
// the sample driver that CUPS ships. It is optional, and checked whether or not a model of the
// family is listed yet: a folder may be made ready before its models, and the first model listed
// later would get the PPD as it is.
void CheckFamilyPpd(const std::wstring& root, int32_t type, std::vector<SetupFinding>& findings) {
    const StringList paths = FamilyPpdFiles(root, type);
    if (paths.empty())
        return;
    const auto relative = [&](const std::wstring& path) { return path.substr(root.size()); };
    if (paths.size() > 1) {
        const std::wstring folder = relative(paths[0].substr(0, paths[0].rfind(L'\\')));
        std::wstring names;
        for (const std::wstring& path : paths)
            names += (names.empty() ? L"" : L", ") + path.substr(path.rfind(L'\\') + 1);
        findings.push_back(SetupFinding{
            folder, 0,
            L"The folder holds " + Number(paths.size()) + L" PPD files (" + names +
                L"), and the Linux setup would not know which one to install.",
            L"Keep only the PPD of the family's printers in " + DisplayPath(folder) + L"."});
        return;
    }
    const std::wstring file = relative(paths[0]);
    const auto add = [&](uint32_t line, std::wstring problem, std::wstring fix) {
        findings.push_back(SetupFinding{file, line, std::move(problem), std::move(fix)});
    };
    std::string bytes;
    if (!ReadNativeFile(paths[0].c_str(), bytes)) {
        add(0, L"The PPD file cannot be read.",
            L"Make the file readable to everyone, and name it in ASCII letters and digits.");
        return;
    }
    const PpdFacts facts = ReadPpdFacts(bytes);
    if (!facts.adobe) {
        add(1, L"The file does not begin with *PPD-Adobe:, so it is no PPD file.",
            L"Put the family's PPD here, whose first line is *PPD-Adobe: \"4.3\", or remove the "
            L"file.");
        return;
    }
    if (facts.nickName.empty()) {
        add(0,
            L"The PPD file has no *NickName with a name between quotes on its line, and CUPS names "
            L"the driver by it.",
            L"Add the line *NickName: \"<maker> <model>\" to the PPD.");
    }
}

}  // namespace

bool HasFaults(const std::vector<SetupFinding>& findings) {
    return std::any_of(findings.begin(), findings.end(), [](const SetupFinding& finding) {
        return finding.severity == FindingSeverity::kFault;
    });
}

std::vector<SetupFinding> CheckSetupFolder(const std::wstring& folder) {
    std::wstring root = folder;
    if (!root.empty() && root.back() != L'\\' && root.back() != L'/')
        root.push_back(L'\\');
    std::vector<SetupFinding> findings;
    std::vector<Printer> families[2];
    CInfoFileCheck(findings).Run(root, families);
    CheckDriverInf(root, SetupContext::kType24Pin, families[0], findings);
    CheckDriverInf(root, SetupContext::kType9Pin, families[1], findings);
    CheckFamilyPpd(root, SetupContext::kType24Pin, findings);
    CheckFamilyPpd(root, SetupContext::kType9Pin, findings);
    // The printer information file first, then the files of the driver folders by name
    // ("PrinterDriver\24pin\" before "PrinterDriver\9pin\"), each by line.
    std::stable_sort(findings.begin(), findings.end(),
                     [](const SetupFinding& a, const SetupFinding& b) {
                         const bool aInfo = a.file == SetupContext::kInfoFileName;
                         const bool bInfo = b.file == SetupContext::kInfoFileName;
                         if (aInfo != bInfo)
                             return aInfo;
                         if (a.file != b.file)
                             return a.file < b.file;
                         return a.line < b.line;
                     });
    return findings;
}
