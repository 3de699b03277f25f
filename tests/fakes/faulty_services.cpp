#include "tests/fakes/faulty_services.h"

#include <algorithm>
#include <memory>
#include <type_traits>

// A decorator's plan and the service it passes calls on to.
template <typename Service>
class CFaulty : public Service {
  public:
    CFaulty(Service& inner, CFaultPlan& plan) : m_inner(inner), m_plan(plan) {}

  protected:
    bool Fails(const wchar_t* call) { return m_plan.Fails(call); }
    Service& m_inner;
    CFaultPlan& m_plan;
};

namespace {

bool IsStateSetting(const std::pair<std::wstring, std::wstring>& setting) {
    return (setting.first == L"printer-state" && setting.second == L"stopped") ||
           (setting.first == L"printer-is-accepting-jobs" && setting.second == L"false");
}

bool MadeInTwoRequests(const QueueRecord& record) {
    return std::any_of(record.settings.begin(), record.settings.end(), IsStateSetting);
}

}  // namespace

class CFaultyServices::Spooler : public CFaulty<ISpoolerService> {
  public:
    using CFaulty::CFaulty;
    bool ListLocalPrinters(StringList& n) override {
        return !Fails(L"EnumPrintersW") && m_inner.ListLocalPrinters(n);
    }
    bool ListPorts(StringList& n) override { return !Fails(L"EnumPortsW") && m_inner.ListPorts(n); }
    PrinterHandle OpenPrinter(const wchar_t* n) override {
        return Fails(L"OpenPrinterW") ? nullptr : m_inner.OpenPrinter(n);
    }
    bool PurgePrinter(PrinterHandle p) override {
        return !Fails(L"SetPrinterW") && m_inner.PurgePrinter(p);
    }
    bool DeletePrinter(PrinterHandle p) override {
        return !Fails(L"DeletePrinter") && m_inner.DeletePrinter(p);
    }
    // A close that fails still lets the handle go, as the real spooler does.
    bool ClosePrinter(PrinterHandle p) override {
        const bool fails = Fails(L"ClosePrinter");
        return m_inner.ClosePrinter(p) && !fails;
    }
    bool DeletePrinterDriver(const wchar_t* n) override {
        return !Fails(L"DeletePrinterDriverExW") && m_inner.DeletePrinterDriver(n);
    }
    QueueLookup LookUpQueue(const wchar_t* n, QueueState& s) override {
        return Fails(L"GetPrinterW") ? QueueLookup::kUnknown : m_inner.LookUpQueue(n, s);
    }
    bool ReadQueue(const wchar_t* n, QueueRecord& r) override {
        return !Fails(L"GetPrinterW") && m_inner.ReadQueue(n, r);
    }
    bool IsDriverInstalled(const wchar_t* n) override {
        return !Fails(L"EnumPrinterDriversW") && m_inner.IsDriverInstalled(n);
    }
    bool InstallDriverFromPackage(const QueueRecord& r) override {
        return !Fails(L"InstallPrinterDriverFromPackageW") && m_inner.InstallDriverFromPackage(r);
    }
    // A queue that is to be stopped or to reject jobs is made in two requests, as the CUPS
    // backend makes it: a run stopped dead between them leaves a queue made in part.
    bool AddQueue(const QueueRecord& r) override {
        if (Fails(L"AddPrinterW"))
            return false;
        if (!MadeInTwoRequests(r))
            return m_inner.AddQueue(r);
        if (!Fails(L"Pause-Printer"))
            return m_inner.AddQueue(r);
        if (m_plan.StopsDead()) {
            QueueRecord part = r;
            part.settings.erase(std::remove_if(part.settings.begin(), part.settings.end(),
                                               [](const auto& s) { return IsStateSetting(s); }),
                                part.settings.end());
            m_inner.AddQueue(part);
        }
        return false;
    }
    bool SetDefaultPrinter(const wchar_t* n) override {
        return !Fails(L"SetDefaultPrinterW") && m_inner.SetDefaultPrinter(n);
    }
    bool StageDriverPackage(const wchar_t* i) override {
        return !Fails(L"UploadPrinterDriverPackageW") && m_inner.StageDriverPackage(i);
    }
    bool ReadDefaultPrinter(std::wstring& n) override {
        return !Fails(L"GetDefaultPrinterW") && m_inner.ReadDefaultPrinter(n);
    }
    std::wstring UnreachableReason(const std::optional<PlatformFailure>& f) override {
        return m_inner.UnreachableReason(f);
    }
};

class CFaultyServices::FileStore : public CFaulty<IFileStoreService> {
  public:
    using CFaulty::CFaulty;
    bool SecureProgramFolder(std::wstring& m) override {
        return !Fails(L"MoveFileExW") && m_inner.SecureProgramFolder(m);
    }
    bool PrepareFolder(const wchar_t* f) override {
        return !Fails(L"CreateDirectoryW") && m_inner.PrepareFolder(f);
    }
    std::wstring PathOf(const wchar_t* f, const wchar_t* n) override {
        return m_inner.PathOf(f, n);
    }
    bool ListFiles(const wchar_t* f, StringList& n) override {
        return !Fails(L"FindFirstFileW") && m_inner.ListFiles(f, n);
    }
    bool WriteFile(const wchar_t* f, const wchar_t* n, const std::string& b) override {
        return !Fails(L"MoveFileExW") && m_inner.WriteFile(f, n, b);
    }
    bool AppendFile(const wchar_t* f, const wchar_t* n, const std::string& b) override {
        return !Fails(L"WriteFile") && m_inner.AppendFile(f, n, b);
    }
    bool ReadFile(const wchar_t* f, const wchar_t* n, std::string& b) override {
        return !Fails(L"ReadFile") && m_inner.ReadFile(f, n, b);
    }
    bool ReadFileHead(const wchar_t* f, const wchar_t* n, size_t m, std::string& h,
                      uint64_t& s) override {
        return !Fails(L"ReadFile") && m_inner.ReadFileHead(f, n, m, h, s);
    }
    bool DeleteFile(const wchar_t* f, const wchar_t* n) override {
        return !Fails(L"DeleteFileW") && m_inner.DeleteFile(f, n);
    }
    std::wstring WhyOthersMayChange(const wchar_t* p) override {
        return m_inner.WhyOthersMayChange(p);
    }
};

class CFaultyServices::Launcher : public CFaulty<ILauncherService> {
  public:
    using CFaulty::CFaulty;
    LaunchResult RunSystemProgram(const wchar_t* p, const wchar_t* a, uint32_t w,
                                  uint32_t& e) override {
        if (!Fails(L"ShellExecuteExW"))
            return m_inner.RunSystemProgram(p, a, w, e);
        e = 1359;
        return LaunchResult::kNotStarted;
    }
    void ShowError(const wchar_t* t, const wchar_t* c) override { m_inner.ShowError(t, c); }
};

class CFaultyServices::Pnp : public CFaulty<IPnpService> {
  public:
    using CFaulty::CFaulty;
    bool UpdateDriver(const wchar_t* h, const wchar_t* i) override {
        return !Fails(L"UpdateDriverForPlugAndPlayDevicesW") && m_inner.UpdateDriver(h, i);
    }
    bool RestartRequired() const override { return m_inner.RestartRequired(); }
};

class CFaultyServices::Usb : public CFaulty<IUsbPrinterService> {
  public:
    using CFaulty::CFaulty;
    InterfaceListHandle OpenInterfaceList() override {
        return Fails(L"SetupDiGetClassDevsW") ? nullptr : m_inner.OpenInterfaceList();
    }
    InterfacePathResult GetInterfacePath(InterfaceListHandle l, uint32_t i,
                                         std::wstring& p) override {
        return Fails(L"SetupDiEnumDeviceInterfaces") ? InterfacePathResult::kEnd
                                                     : m_inner.GetInterfacePath(l, i, p);
    }
    void CloseInterfaceList(InterfaceListHandle l) override { m_inner.CloseInterfaceList(l); }
    DeviceHandle OpenDevice(const std::wstring& p) override {
        return Fails(L"CreateFileW") ? InvalidDeviceHandle() : m_inner.OpenDevice(p);
    }
    bool RequestDeviceId(DeviceHandle d, uint8_t* b, uint32_t s, uint32_t& n) override {
        return !Fails(L"DeviceIoControl") && m_inner.RequestDeviceId(d, b, s, n);
    }
    void CloseDevice(DeviceHandle d) override { m_inner.CloseDevice(d); }
};

class CFaultyServices::Registry : public CFaulty<IInterfaceRegistryService> {
  public:
    using CFaulty::CFaulty;
    RegistryKey OpenClassKey() override {
        return Fails(L"SetupDiOpenClassRegKeyExW") ? nullptr : m_inner.OpenClassKey();
    }
    SubkeyResult EnumSubkey(RegistryKey k, uint32_t i, wchar_t* n, uint32_t c) override {
        return Fails(L"RegEnumKeyExW") ? SubkeyResult::kFailed : m_inner.EnumSubkey(k, i, n, c);
    }
    RegistryKey OpenSubkey(RegistryKey p, const wchar_t* n) override {
        return Fails(L"RegOpenKeyExW") ? nullptr : m_inner.OpenSubkey(p, n);
    }
    bool QueryValue(RegistryKey k, const wchar_t* n, uint8_t* d, uint32_t c, uint32_t& s,
                    uint32_t& t) override {
        return !Fails(L"RegQueryValueExW") && m_inner.QueryValue(k, n, d, c, s, t);
    }
    void CloseKey(RegistryKey k) override { m_inner.CloseKey(k); }
};

class CFaultyServices::ProgramPath : public CFaulty<IProgramPathService> {
  public:
    using CFaulty::CFaulty;
    uint32_t GetProgramPath(wchar_t* b, uint32_t s) override {
        return Fails(L"GetModuleFileNameW") ? 0 : m_inner.GetProgramPath(b, s);
    }
};

class CFaultyServices::Profile : public CFaulty<IProfileService> {
  public:
    using CFaulty::CFaulty;
    // The profile API has no failure of its own: a file it cannot read reads as empty.
    uint32_t GetString(const wchar_t* s, const wchar_t* k, wchar_t* b, uint32_t n,
                       const wchar_t* f) override {
        if (!Fails(L"GetPrivateProfileStringW"))
            return m_inner.GetString(s, k, b, n, f);
        if (b != nullptr && n > 0)
            b[0] = L'\0';
        return 0;
    }
    uint32_t GetSection(const wchar_t* s, wchar_t* b, uint32_t n, const wchar_t* f) override {
        if (!Fails(L"GetPrivateProfileSectionW"))
            return m_inner.GetSection(s, b, n, f);
        if (b != nullptr && n > 1)
            b[0] = b[1] = L'\0';
        return 0;
    }
};

CFaultyServices::CFaultyServices(const PlatformServices& inner, CFaultPlan& plan) : m_set(inner) {
    // Every service the setup run uses, each wrapped when the machine has it.
    const auto wrap = [&](auto* service, auto& holder, auto*& slot) {
        using Faulty = typename std::remove_reference_t<decltype(holder)>::element_type;
        if (service == nullptr)
            return;
        holder = std::make_unique<Faulty>(*service, plan);
        slot = holder.get();
    };
    wrap(inner.spooler, m_spooler, m_set.spooler);
    wrap(inner.fileStore, m_fileStore, m_set.fileStore);
    wrap(inner.launcher, m_launcher, m_set.launcher);
    wrap(inner.pnp, m_pnp, m_set.pnp);
    wrap(inner.usbPrinters, m_usb, m_set.usbPrinters);
    wrap(inner.interfaceRegistry, m_registry, m_set.interfaceRegistry);
    wrap(inner.programPath, m_programPath, m_set.programPath);
    wrap(inner.profile, m_profile, m_set.profile);
}

CFaultyServices::~CFaultyServices() = default;
