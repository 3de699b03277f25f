#include "tests/fakes/fake_file_store_service.h"

#include <algorithm>

#include "platform/platform_failure.h"

namespace {

constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kFileNotFound = 2;

}  // namespace

std::map<std::wstring, std::string>* CFakeFileStoreService::Prepared(const wchar_t* folder,
                                                                     const wchar_t* call) {
    if (m_prepared.count(folder) == 0) {
        RecordPlatformFailure(call, kAccessDenied, L"folder not prepared");
        return nullptr;
    }
    return &folders[folder];
}

bool CFakeFileStoreService::SecureProgramFolder(std::wstring& movedAsideTo) {
    if (!foreignProgramFolder)
        return true;
    if (moveAsideFails) {
        RecordPlatformFailure(L"MoveFileExW", 32, L"in use by another process");
        return false;
    }
    movedAside = std::move(folders);
    folders.clear();
    plantedFolders.clear();
    m_prepared.clear();
    foreignProgramFolder = false;
    movedAsideTo = L"C:\\ProgramData\\Korvel Setup.untrusted-20261207-221501Z";
    return true;
}

bool CFakeFileStoreService::PrepareFolder(const wchar_t* folder) {
    if (plantedFolders.count(folder) != 0) {
        RecordPlatformFailure(L"GetNamedSecurityInfoW", kAccessDenied, L"planted folder");
        return false;
    }
    m_prepared.insert(folder);
    folders[folder];
    return true;
}

std::wstring CFakeFileStoreService::PathOf(const wchar_t* folder, const wchar_t* name) {
    return std::wstring(L"C:\\ProgramData\\Korvel Setup\\") + folder + L"\\" + name;
}

bool CFakeFileStoreService::ListFiles(const wchar_t* folder, StringList& names) {
    auto* files = Prepared(folder, L"FindFirstFileW");
    if (files == nullptr)
        return false;
    for (const auto& file : *files)
        names.push_back(file.first);
    return true;
}

bool CFakeFileStoreService::WriteFile(const wchar_t* folder, const wchar_t* name,
                                      const std::string& bytes) {
    auto* files = Prepared(folder, L"CreateFileW");
    if (files == nullptr)
        return false;
    (*files)[name] = bytes;
    return true;
}

bool CFakeFileStoreService::AppendFile(const wchar_t* folder, const wchar_t* name,
                                       const std::string& bytes) {
    auto* files = Prepared(folder, L"CreateFileW");
    if (files == nullptr)
        return false;
    (*files)[name] += bytes;
    return true;
}

bool CFakeFileStoreService::ReadFile(const wchar_t* folder, const wchar_t* name,
                                     std::string& bytes) {
    uint64_t size = 0;
    return ReadFileHead(folder, name, static_cast<size_t>(-1), bytes, size);
}

bool CFakeFileStoreService::ReadFileHead(const wchar_t* folder, const wchar_t* name, size_t most,
                                         std::string& head, uint64_t& size) {
    auto* files = Prepared(folder, L"CreateFileW");
    if (files == nullptr)
        return false;
    const auto file = files->find(name);
    if (file == files->end()) {
        RecordPlatformFailure(L"CreateFileW", kFileNotFound, L"no such file");
        return false;
    }
    head = file->second.substr(0, most);
    size = file->second.size();
    size_t& read = mostBytesRead[name];
    read = std::max(read, head.size());
    return true;
}

bool CFakeFileStoreService::DeleteFile(const wchar_t* folder, const wchar_t* name) {
    auto* files = Prepared(folder, L"DeleteFileW");
    if (files == nullptr)
        return false;
    if (files->erase(name) == 0) {
        RecordPlatformFailure(L"DeleteFileW", kFileNotFound, L"no such file");
        return false;
    }
    return true;
}
