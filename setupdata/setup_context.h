#pragma once

#include <cstdint>

#include "platform/text_types.h"

// How the printer-UI install looks for the queue its command made.
enum class QueueCheck : uint8_t {
    // A pause of half a second, then one look: the wizard's way.
    kSettleOnce,
    // A look at once, then more at growing intervals for about two seconds in all, so that an
    // unattended install ends as soon as the queue is there.
    kPoll,
};

// The one record that carries a setup run: where the setup data lies beside the program, the
// printer and port the user chose, the two options applied after installation, and how the
// install looks for its new queue. A plain record
// with fixed-width text fields and no heap memory; it reaches the platform through Services().
struct SetupContext {
    static constexpr uint32_t kPathWidth = 260;
    static constexpr uint32_t kNameWidth = 200;
    static constexpr uint32_t kLanguageWidth = 20;
    static constexpr uint32_t kTypeValueWidth = 20;
    static constexpr uint32_t kSectionWidth = 2048;
    static constexpr uint32_t kLineWidth = 256;

    // The setup folder's files and the sections of the printer information file.
    static constexpr wchar_t kInfoFileName[] = L"PrinterInfor.Inf";
    static constexpr wchar_t kDriverFolder[] = L"PrinterDriver\\";
    static constexpr wchar_t kLanguageFileName[] = L"Language.inf";
    static constexpr wchar_t kSeriesSection[] = L"PRINTER_SERIES";
    static constexpr wchar_t kNameSection[] = L"PRINTER_NAME";
    static constexpr wchar_t kTypeSection[] = L"PRINTER_TYPE";
    // The series whose models the wizard offers.
    static constexpr wchar_t kShownSeries[] = L"RV系列";

    // The driver families, as GetPrinterType answers.
    static constexpr int32_t kType24Pin = 1;
    static constexpr int32_t kType9Pin = 2;

    wchar_t setupFolder[kPathWidth];
    wchar_t printerInfoPath[kPathWidth];
    wchar_t driverInfPath[kPathWidth];
    wchar_t languagePath[kPathWidth];
    wchar_t printerName[kNameWidth];
    wchar_t portName[kNameWidth];
    wchar_t language[kLanguageWidth];
    int32_t makeDefault;
    int32_t printTestPage;
    QueueCheck queueCheck;

    // Construction runs Init.
    SetupContext();

    // Folder layout.
    SetupContext& Init();
    void ResolveSetupFolder();
    void ResolveInfoFilePath();
    void ResolveDriverInfPath();
    void ResolveLanguageFilePath();

    // Profile-file reads.
    int32_t ReadProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* file,
                              wchar_t* buffer, uint32_t size) const;
    int32_t ReadProfileSection(const wchar_t* section, const wchar_t* file, wchar_t* buffer,
                               uint32_t size) const;
    int32_t GetPrinterType(const wchar_t* name) const;
    // The family a PRINTER_TYPE value names: kType24Pin for "24", kType9Pin for "9", else -1.
    static int32_t TypeOfValue(const wchar_t* value);
    // The driver INF of a family, below the driver folder; null for anything else.
    static const wchar_t* DriverInfOfType(int32_t type);
    int32_t LookUpPrinterName(const wchar_t* key, wchar_t* out, uint32_t size) const;

    // Choices and options.
    void SetPrinterName(const wchar_t* name);
    void GetPrinterName(wchar_t* out, uint32_t size) const;
    void SetPortName(const wchar_t* name);
    void GetPortName(wchar_t* out, uint32_t size) const;
    void SetMakeDefault(int32_t value);
    int32_t GetMakeDefault() const;
    void SetPrintTestPage(int32_t value);
    int32_t GetPrintTestPage() const;

    // Model lists of the printer information file.
    int32_t ListSeries(StringList& list) const;
    int32_t ListSeriesModels(const wchar_t* section, StringList& list) const;
    int32_t IsSupportedModel(const wchar_t* model) const;
    int32_t FindModelSeries(CString& seriesOut, const wchar_t* model) const;

    // Printer detection: the model a connected supported USB printer reports. Reads and writes
    // no field of the record.
    int32_t DetectUsbPrinterModel(CString& model) const;

    // Spooler queries.
    // 1 when the queue of exactly this name (as the spooler compares names) is installed, not
    // marked for deletion, and on `port` when one is given.
    int32_t FindPrinter(const wchar_t* name, const wchar_t* port = nullptr) const;
    int32_t ListPrinters(const wchar_t* name, StringList& list) const;
    int32_t ListPorts(StringList& list) const;

    // Removal of a replaced printer.
    int32_t PurgePrinter(void* printerHandle) const;
    int32_t DeletePrinterAndDriver(const wchar_t* name) const;

    // The printer-UI commands.
    int32_t RunPrintUi(const wchar_t* commandLine) const;
    int32_t MakeDefaultPrinter(const wchar_t* printerNameOverride);
    int32_t PrintTestPage(const wchar_t* printerNameOverride);

    // The two installation paths and the choice between them.
    int32_t InstallByPrintUi(const wchar_t* printerNameOverride, const wchar_t* portNameOverride);
    int32_t InstallByPnp();
    int32_t FindInfHardwareId(const wchar_t* infPath, wchar_t* modelKey, uint32_t keyLength,
                              char* hardwareId) const;
    int32_t Install();
};
