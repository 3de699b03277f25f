#pragma once

#include <string>

#include "platform/install_record_service.h"

// The install records under HKLM\SOFTWARE\Korvel\Printer Setup\Printers, one key per printer
// name holding the record's fields as REG_SZ values, in the 64-bit view of the registry.
class CWin32InstallRecordService : public IInstallRecordService {
  public:
    bool Write(const InstallRecord& record) override;
    bool Read(const std::wstring& printerName, InstallRecord& record) override;
    bool Delete(const std::wstring& printerName) override;
};
