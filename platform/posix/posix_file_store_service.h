#pragma once

#include <map>
#include <string>

#include "platform/file_store_service.h"

// The program's folders on Linux, where Linux keeps such files (for example the backups under
// /var/lib, the logs under /var/log), each made with rights for its owner alone. A folder that
// exists already is used only when it is a real directory, owned by this process's user or root,
// and nobody else may write in it; a file is used only when it is a plain file (no link) owned so.
class CPosixFileStoreService : public IFileStoreService {
  public:
    // The path of each folder name the engine uses ("Backups", "Logs").
    explicit CPosixFileStoreService(std::map<std::wstring, std::string> folders);

    // Each folder is checked as it is prepared: nothing to do here.
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
    // The folder's path, or false with the failure recorded for an unknown folder.
    bool FolderPath(const wchar_t* folder, std::string& path) const;
    // The file's path, or false with the failure recorded when the name is not a plain name.
    bool FilePath(const wchar_t* folder, const wchar_t* name, std::string& path) const;
    // Reads at most `most` bytes from the start of a file ReadFile may read, and its size.
    bool Read(const wchar_t* folder, const wchar_t* name, size_t most, std::string& bytes,
              uint64_t& size) const;

    const std::map<std::wstring, std::string> m_folders;
};
