#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/standin/wide_text.h"

// A file of this process's own in the temporary folder, rewritten for each input of a fuzz target
// whose code under test reads a file by name, and removed when the process ends normally.
class CFuzzTempFile {
  public:
    explicit CFuzzTempFile(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() /
                 ("korvel-fuzz-" + std::to_string(getpid()) + "-" + name)),
          m_wide(DecodeUtf8(m_path.string())) {}
    ~CFuzzTempFile() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    CFuzzTempFile(const CFuzzTempFile&) = delete;
    CFuzzTempFile& operator=(const CFuzzTempFile&) = delete;

    // Replaces the file's content; returns its name as the program takes file names.
    const std::wstring& Write(const std::string& bytes) const {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
        return m_wide;
    }

  private:
    std::filesystem::path m_path;
    std::wstring m_wide;
};
