#pragma once

#include <windows.h>
// <windows.h> maps DeleteFile to the wide function, which would rename the member of that name
// in every file that sees both headers. The function keeps its wide name.
#undef DeleteFile

#include <string>

#include "platform/file_store_service.h"

// The program's folders below %ProgramData%\Korvel Setup, made so that only the system and
// administrators may change anything in them.
class CWin32FileStoreService : public IFileStoreService {
  public:
    // `root` is the program's own folder, whose parent must exist; empty for
    // %ProgramData%\Korvel Setup. Tests give a folder of their own.
    explicit CWin32FileStoreService(std::wstring root = std::wstring());

    bool SecureProgramFolder(std::wstring& movedAside) override;
    bool PrepareFolder(const wchar_t* folder) override;
    std::wstring PathOf(const wchar_t* folder, const wchar_t* name) override;
    bool ListFiles(const wchar_t* folder, StringList& names) override;
    bool WriteFile(const wchar_t* folder, const wchar_t* name, const std::string& bytes) override;
    bool AppendFile(const wchar_t* folder, const wchar_t* name, const std::string& bytes) override;
    bool ReadFile(const wchar_t* folder, const wchar_t* name, std::string& bytes) override;
    bool ReadFileHead(const wchar_t* folder, const wchar_t* name, size_t most, std::string& head,
                      uint64_t& size) override;
    bool DeleteFile(const wchar_t* folder, const wchar_t* name) override;
    std::wstring WhyOthersMayChange(const wchar_t* path) override;

  private:
    // The program's own folder, or false with the failure recorded.
    bool Root(std::wstring& root);
    // The full path of the file, or false with the failure recorded when the folder or the file
    // is not named by a plain name.
    bool FilePath(const wchar_t* folder, const wchar_t* name, std::wstring& path);
    // Reads at most `most` bytes from the start of a file ReadFile may read, and its size.
    bool Read(const wchar_t* folder, const wchar_t* name, size_t most, std::string& bytes,
              uint64_t& size);

    const std::wstring m_root;
};
