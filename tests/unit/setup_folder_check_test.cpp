#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

#include "install/check/setup_folder_check.h"
#include "platform/standin/wide_text.h"
#include "tests/support/test_files.h"

namespace {

constexpr wchar_t kInfo[] = L"PrinterInfor.Inf";
constexpr wchar_t kInf24[] = L"PrinterDriver\\24pin\\OEMPRINT.INF";
constexpr wchar_t kInf9[] = L"PrinterDriver\\9pin\\OEMPRINT.INF";
constexpr wchar_t kPpd9[] = L"PrinterDriver\\9pin\\k.ppd";

std::string ReadSource(const std::string& relative) {
    std::ifstream in(std::string(KORVEL_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string WithoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// Our own small PPD, sound.
std::string SamplePpd() {
    return ReadSource("tests/data/ppd/korvel.ppd");
}

// A copy of the sample setup folder as UTF-8 text with LF line ends, to plant a fault in; it is
// written back in the sample's encodings (the driver INFs with LF line ends, which the reader takes
// as well). An empty text leaves its file out. `more` holds further files, written as they are:
// each family's catalog, a sound PPD with an upper-case extension and a file that is no PPD in the
// 24-pin folder, none in the 9-pin one, which must bring no finding.
struct SetupCopy {
    std::string info = WithoutCr(
        EncodeUtf8(DecodeUtf16(ReadSource("sample-setup/PrinterInfor.Inf").substr(2), false)));
    std::string inf24 = WithoutCr(ReadSource("sample-setup/PrinterDriver/24pin/OEMPRINT.INF"));
    std::string inf9 = WithoutCr(ReadSource("sample-setup/PrinterDriver/9pin/OEMPRINT.INF"));
    bool infoMark = true;
    std::map<std::string, std::string> more = {
        {"PrinterDriver/24pin/oemprint.cat", kSignedCatalogStart},
        {"PrinterDriver/9pin/oemprint.cat", kSignedCatalogStart},
        {"PrinterDriver/24pin/Korvel.PPD", SamplePpd()},
        {"PrinterDriver/24pin/notes.txt", "x"}};

    void WriteTo(const CTempFolder& folder) const {
        for (const auto& [name, bytes] : more)
            folder.Write(name, bytes);
        if (!info.empty())
            folder.Write("PrinterInfor.Inf", infoMark ? Utf16LeFile(info) : info);
        if (!inf24.empty())
            folder.Write("PrinterDriver/24pin/OEMPRINT.INF", inf24);
        if (!inf9.empty())
            folder.Write("PrinterDriver/9pin/OEMPRINT.INF", inf9);
    }
};

using Plant = std::function<void(SetupCopy&)>;

// Replaces `from` in one file of the copy: its one occurrence, or with `all` every one.
Plant Replace(std::string SetupCopy::*file, const std::string& from, const std::string& to,
              bool all = false) {
    return [=](SetupCopy& copy) {
        std::string& text = copy.*file;
        size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        ASSERT_TRUE(all || text.find(from, at + 1) == std::string::npos) << "twice: " << from;
        for (; at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    };
}

// Sound models of the 9-pin family added to [RV系列], with names of `length` characters.
void AddModels(SetupCopy& copy, int count, size_t length) {
    std::string models, names, types, lines;
    for (int i = 0; i < count; ++i) {
        std::string model = "RV-" + std::to_string(i);
        model.resize(length, 'X');
        const std::string printer = "Korvel L" + std::to_string(i);
        models += model + "\n";
        names += model + "=" + printer + "\n";
        types += printer + "=9\n";
        lines += "\"KORVEL L" + std::to_string(i) + "\" = L.GPD,USBPRINT\\L" + std::to_string(i) +
                 ",X\n";
    }
    Replace(&SetupCopy::info, "RV-90\nRV-95\n", "RV-90\nRV-95\n" + models)(copy);
    Replace(&SetupCopy::info, "KP-960=Korvel KP-960\n", "KP-960=Korvel KP-960\n" + names)(copy);
    copy.info += types;
    Replace(&SetupCopy::inf9, "[RV90.GPD]", lines + "\n[RV90.GPD]")(copy);
}

Plant AddFile(const std::string& name, const std::string& bytes) {
    return [=](SetupCopy& copy) { copy.more[name] = bytes; };
}

std::string Describe(const std::vector<SetupFinding>& findings) {
    std::string text;
    for (const SetupFinding& f : findings) {
        text += EncodeUtf8(f.file) + ":" + std::to_string(f.line) + ": " + EncodeUtf8(f.problem) +
                " / " + EncodeUtf8(f.fix) + "\n";
    }
    return text;
}

// Its catalogs are empty stand-ins: warnings, as every real machine would refuse them.
TEST(SetupFolderCheckTest, TheSampleSetupFolderHasNoFaults) {
    const std::vector<SetupFinding> findings = CheckSetupFolder(SourcePath("sample-setup") + L"\\");
    EXPECT_FALSE(HasFaults(findings)) << Describe(findings);
    EXPECT_EQ(findings.size(), 2u) << Describe(findings);
}

TEST(SetupFolderCheckTest, EachPlantedFaultIsFoundWhereItIs) {
    std::string unnamedPpd = SamplePpd();
    unnamedPpd.replace(unnamedPpd.find("*NickName:"), 10, "*Nickname:");
    const std::string rv95Line =
        "\"KORVEL RV-95\" = RV95.GPD,USBPRINT\\KORVELRV-957F66,KORVEL_RV-95\n";
    const struct {
        const char* fault;
        Plant plant;
        const wchar_t* file;
        uint32_t line;
        const wchar_t* word;
    } cases[] = {
        {"no information file", [](SetupCopy& c) { c.info.clear(); }, kInfo, 0, L"missing"},
        {"no byte order mark", [](SetupCopy& c) { c.infoMark = false; }, kInfo, 5, L"ANSI"},
        {"no series list", Replace(&SetupCopy::info, "[PRINTER_SERIES]", "[SERIES]"), kInfo, 0,
         L"PRINTER_SERIES"},
        {"series without section", Replace(&SetupCopy::info, "[KP系列]\nKP-960\n", ""), kInfo, 6,
         L"no section"},
        {"empty series", Replace(&SetupCopy::info, "[KP系列]\nKP-960\n", "[KP系列]\n"), kInfo, 15,
         L"no models"},
        {"shown series missing", Replace(&SetupCopy::info, "RV系列", "RX系列", true), kInfo, 0,
         L"offers"},
        // 38 characters and 8 x 251 make 2046: the read comes back as size - 2.
        {"series too long", [](SetupCopy& c) { AddModels(c, 8, 250); }, kInfo, 8, L"2048"},
        {"line too long",
         Replace(&SetupCopy::info, "RV-90\nRV-95\n",
                 "RV-90\nRV-95\nRV-" + std::string(253, 'L') + "\n"),
         kInfo, 14, L"256"},
        {"model twice", Replace(&SetupCopy::info, "]\nKP-960\n", "]\nKP-960\nrv-90\n"), kInfo, 17,
         L"second time"},
        {"series twice", Replace(&SetupCopy::info, "KP系列\n\n", "KP系列\nRV系列\n\n"), kInfo, 7,
         L"second time"},
        {"section twice", [](SetupCopy& c) { c.info += "[PRINTER_NAME]\nRV-90=Other\n"; }, kInfo,
         33, L"second time"},
        {"key twice",
         Replace(&SetupCopy::info, "KP-960=Korvel KP-960\n", "KP-960=Korvel KP-960\nRV-90=X\n"),
         kInfo, 25, L"never read"},
        {"model line with =", Replace(&SetupCopy::info, "RV-90\nRV-95\n", "RV-90\nRV-95=note\n"),
         kInfo, 13, L"'='"},
        {"no printer name", Replace(&SetupCopy::info, "RV-90=Korvel RV-90\n", ""), kInfo, 12,
         L"no entry for RV-90"},
        {"name of 200",
         Replace(&SetupCopy::info, "=Korvel RV-90\n",
                 "=Korvel RV-90" + std::string(188, 'x') + "\n"),
         kInfo, 22, L"200"},
        {"name with ,", Replace(&SetupCopy::info, "=Korvel RV-90\n", "=Korvel RV,90\n"), kInfo, 22,
         L"may not hold"},
        {"name with \\", Replace(&SetupCopy::info, "=Korvel RV-90\n", "=Korvel\\RV-90\n"), kInfo,
         22, L"may not hold"},
        {"name with \"", Replace(&SetupCopy::info, "=Korvel RV-90\n", "=Korvel \"RV-90\"\n"), kInfo,
         22, L"may not hold"},
        {"no printer type", Replace(&SetupCopy::info, "Korvel RV-90=9\n", ""), kInfo, 22,
         L"PRINTER_TYPE has no entry"},
        {"type 8", Replace(&SetupCopy::info, "Korvel RV-90=9\n", "Korvel RV-90=8\n"), kInfo, 30,
         L"neither"},
        {"name beyond 8 bits", Replace(&SetupCopy::info, "Korvel RV-90", "Korvel 打印机", true),
         kInfo, 22, L"8-bit"},
        {"no 9-pin INF", [](SetupCopy& c) { c.inf9.clear(); }, kInf9, 0, L"missing"},
        {"no 64-bit models", Replace(&SetupCopy::inf24, ",NTamd64", ""), kInf24, 10, L"NTamd64"},
        {"no model line", Replace(&SetupCopy::inf9, rv95Line, ""), kInf9, 13, L"no model line"},
        {"maker not upper-cased", Replace(&SetupCopy::inf9, "\"KORVEL RV-95\"", "\"Korvel RV-95\""),
         kInf9, 13, L"no model line"},
        {"model line elsewhere",
         [&](SetupCopy& c) {
             Replace(&SetupCopy::inf9, rv95Line, "")(c);
             c.inf9 += rv95Line;
         },
         kInf9, 40, L"outside"},
        {"identifier not USB",
         Replace(&SetupCopy::inf9, "USBPRINT\\KORVELRV-957F66", "LPTENUM\\RV95,USB"), kInf9, 15,
         L"not a USB one"},
        {"device not supported",
         Replace(&SetupCopy::inf9, "USBPRINT\\KORVELRV-957F66", "USB\\VID_FFF0&PID_0024"), kInf9,
         15, L"VID and PID"},
        {"two PPDs", AddFile("PrinterDriver/24pin/a.ppd", SamplePpd()), L"PrinterDriver\\24pin", 0,
         L"2 PPD files"},
        {"PPD not a PPD", AddFile("PrinterDriver/9pin/k.ppd", " " + SamplePpd()), kPpd9, 1,
         L"*PPD-Adobe"},
        {"PPD without NickName", AddFile("PrinterDriver/9pin/k.ppd", unnamedPpd), kPpd9, 0,
         L"*NickName"},
#ifndef _WIN32
        // A name that is not UTF-8 is listed but cannot be opened by its decoded name; as root a
        // file's permissions would not stop the read.
        {"PPD unreadable", AddFile("PrinterDriver/9pin/\xFF.ppd", SamplePpd()),
         L"PrinterDriver\\9pin\\\xFFFD.ppd", 0, L"cannot be read"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SetupCopy copy;
        c.plant(copy);
        const CTempFolder folder;
        copy.WriteTo(folder);
        const std::vector<SetupFinding> findings = CheckSetupFolder(folder.WindowsPath());
        if (findings.size() != 1) {
            ADD_FAILURE() << "expected one finding, got:\n" << Describe(findings);
            continue;
        }
        EXPECT_EQ(findings[0].file, c.file);
        EXPECT_EQ(findings[0].line, c.line);
        EXPECT_NE(findings[0].problem.find(c.word), std::wstring::npos) << Describe(findings);
        EXPECT_FALSE(findings[0].fix.empty());
    }
}

// Windows stages only signed driver packages: [Version] must name a catalog (for 64-bit Windows)
// that lies beside the INF, found as Windows finds files, whatever the case of its letters. A
// catalog that signs nothing is a warning: only a machine with test signing on takes it.
TEST(SetupFolderCheckTest, ADriverPackageWithoutItsCatalogIsAFinding) {
    const std::string catalog = "CatalogFile=oemprint.cat\n";
    const struct {
        const char* package;
        Plant plant;
        uint32_t line;  // of the one finding in the 9-pin INF; 0 for none
        FindingSeverity severity = FindingSeverity::kFault;
    } cases[] = {
        {"no catalog line", Replace(&SetupCopy::inf9, catalog, ""), 2},
        {"a catalog line without a name", Replace(&SetupCopy::inf9, catalog, "CatalogFile= ;\n"),
         2},
        {"no catalog beside the INF",
         [](SetupCopy& c) { c.more.erase("PrinterDriver/9pin/oemprint.cat"); }, 8},
        {"the catalog of 64-bit Windows missing",
         Replace(&SetupCopy::inf9, catalog, catalog + "CatalogFile.NTamd64=korvel9.cat\n"), 9},
        {"the name in other letter case",
         Replace(&SetupCopy::inf9, catalog, "catalogfile = \"OEMPrint.CAT\" ; signed\n"), 0},
        {"an empty catalog", AddFile("PrinterDriver/9pin/oemprint.cat", ""), 8,
         FindingSeverity::kWarning},
        {"a catalog that is no PKCS #7 file",
         AddFile("PrinterDriver/9pin/oemprint.cat", "\x30\x03\x06\x01\x00 signed"), 8,
         FindingSeverity::kWarning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package);
        SetupCopy copy;
        c.plant(copy);
        const CTempFolder folder;
        copy.WriteTo(folder);
        const std::vector<SetupFinding> findings = CheckSetupFolder(folder.WindowsPath());
        if (c.line == 0) {
            EXPECT_TRUE(findings.empty()) << Describe(findings);
            continue;
        }
        ASSERT_EQ(findings.size(), 1u) << Describe(findings);
        EXPECT_EQ(findings[0].file, kInf9);
        EXPECT_EQ(findings[0].line, c.line);
        EXPECT_EQ(findings[0].severity, c.severity);
        EXPECT_NE(findings[0].problem.find(c.severity == FindingSeverity::kFault
                                               ? L"only signed driver packages"
                                               : L"only where test signing is on"),
                  std::wstring::npos);
    }
}

// 100 series of 100 models each, half of them with a USB VID/PID identifier. How long the check
// takes is measured by tools/setup_folder_check_benchmark.
TEST(SetupFolderCheckTest, AHundredSeriesOfAHundredModelsHaveNoFindings) {
    const CTempFolder folder;
    WriteLargeSetupFolder(folder, 100, 100);
    const std::vector<SetupFinding> findings = CheckSetupFolder(folder.WindowsPath());
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

}  // namespace
