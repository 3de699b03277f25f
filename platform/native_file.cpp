#include "platform/native_path.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Built on OpenNativeFile, so that every system reads a file the same way from there on.
bool ReadNativeFile(const wchar_t* path, std::string& bytes) {
    if (path == nullptr)
        return false;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNativeFile(path), &std::fclose);
    if (!file)
        return false;
    std::string read;
    std::vector<char> chunk(1 << 16);
    size_t count = 0;
    while ((count = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0)
        read.append(chunk.data(), count);
    if (std::ferror(file.get()) != 0)
        return false;
    bytes = std::move(read);
    return true;
}
