#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/install_record_service.h"
#include "platform/platform_failure.h"
#include "platform/queue_setup_service.h"
#include "platform/session_service.h"
#include "platform/setup_lock_service.h"

// Elevated unless a test says otherwise.
class CFakeSessionService : public ISessionService {
  public:
    bool elevated = true;
    bool protectedPrint = false;
    bool IsElevated() override { return elevated; }
    bool IsProtectedPrintOn() override { return protectedPrint; }
    std::wstring account = L"S-1-5-21-1000";
    std::wstring AccountName() override { return account; }
};

// A lock that another run holds while `heldElsewhere` is set; counts what this process holds.
class CFakeSetupLockService : public ISetupLockService {
  public:
    bool heldElsewhere = false;
    int held = 0;
    int acquired = 0;
    uint32_t lastWaitMs = 0;

    LockResult Acquire(uint32_t waitMs) override {
        lastWaitMs = waitMs;
        if (heldElsewhere)
            return LockResult::kBusy;
        ++held;
        ++acquired;
        return LockResult::kTaken;
    }
    void Release() override { --held; }
};

// The registry records in memory, by printer name.
class CFakeInstallRecordService : public IInstallRecordService {
  public:
    std::map<std::wstring, InstallRecord> records;

    bool Write(const InstallRecord& record) override {
        records[record.printerName] = record;
        return true;
    }
    bool Read(const std::wstring& printerName, InstallRecord& record) override {
        const auto found = records.find(printerName);
        if (found == records.end()) {
            RecordPlatformFailure(L"RegOpenKeyExW", 2, L"no record");
            return false;
        }
        record = found->second;
        return true;
    }
    bool Delete(const std::wstring& printerName) override {
        records.erase(printerName);
        return true;
    }
};

// A print system where the setup makes queues itself: the USB printers its discovery finds, the
// drivers it ships by make and model, and the queues a test page was printed on.
class CFakeQueueSetupService : public IQueueSetupService {
  public:
    std::vector<UsbPrinterDevice> devices;
    std::map<std::wstring, std::wstring> drivers;
    std::vector<std::wstring> testPages;
    // The print system does not answer: the discovery fails.
    bool down = false;

    bool ListUsbPrinters(std::vector<UsbPrinterDevice>& found) override {
        if (down) {
            RecordPlatformFailure(L"CUPS-Get-Devices", 1282, L"the fake print system is down");
            return false;
        }
        found.insert(found.end(), devices.begin(), devices.end());
        return true;
    }
    bool FindSystemDriver(const wchar_t* makeAndModel, std::wstring& package) override {
        const auto driver = drivers.find(makeAndModel);
        package = driver != drivers.end() ? driver->second : std::wstring();
        return true;
    }
    bool PrintTestPage(const wchar_t* queue) override {
        testPages.push_back(queue);
        return true;
    }
    std::set<std::wstring> backends{L"usb", L"socket", L"ipp", L"lpd", L"smb", L"file"};
    bool HasBackend(const std::wstring& scheme) override { return backends.count(scheme) != 0; }
};
