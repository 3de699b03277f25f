#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/file_store_service.h"

// The program's folders in memory. A folder must be prepared before its files are used, as the
// real store checks the folder's rights first.
class CFakeFileStoreService : public IFileStoreService {
  public:
    // Folder → file name → content.
    std::map<std::wstring, std::map<std::wstring, std::string>> folders;
    // Folders that a standard user planted: PrepareFolder refuses them.
    std::set<std::wstring> plantedFolders;
    // The program's folder was made by a standard user: SecureProgramFolder moves it aside, with
    // every folder in it, to `movedAside`.
    bool foreignProgramFolder = false;
    // Moving it aside fails, as it does on Windows while a file in it is open (another run's lock).
    bool moveAsideFails = false;
    std::map<std::wstring, std::map<std::wstring, std::string>> movedAside;
    // The most bytes of each file that one read has handed out, by file name.
    std::map<std::wstring, size_t> mostBytesRead;

    bool SecureProgramFolder(std::wstring& movedAsideTo) override;
    bool PrepareFolder(const wchar_t* folder) override;
    std::wstring PathOf(const wchar_t* folder, const wchar_t* name) override;
    bool ListFiles(const wchar_t* folder, StringList& names) override;
    bool WriteFile(const wchar_t* folder, const wchar_t* name, const std::string& bytes) override;
    bool AppendFile(const wchar_t* folder, const wchar_t* name, const std::string& bytes) override;
    bool ReadFile(const wchar_t* folder, const wchar_t* name, std::string& bytes) override;
    bool ReadFileHead(const wchar_t* folder, const wchar_t* name, size_t most, std::string& head,
                      uint64_t& size) override;
    bool DeleteFile(const wchar_t* folder, const wchar_t* name) override;
    // What WhyOthersMayChange says of every folder.
    std::wstring othersMayChange;
    std::wstring WhyOthersMayChange(const wchar_t*) override { return othersMayChange; }

  private:
    std::map<std::wstring, std::string>* Prepared(const wchar_t* folder, const wchar_t* call);
    std::set<std::wstring> m_prepared;
};
