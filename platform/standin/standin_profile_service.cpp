#include "platform/standin/standin_profile_service.h"

#include "platform/native_path.h"
#include "platform/standin/profile_document.h"
#include "platform/standin/wide_text.h"

namespace {

// A file that cannot be read gives the empty document, as Windows treats a missing profile file.
// A folder or a FIFO is no file to read (ReadNativeFile reads regular files only): a folder read
// through a stream throws, and a FIFO blocks.
CProfileDocument LoadDocument(const wchar_t* file) {
    std::string bytes;
    if (file == nullptr || !ReadNativeFile(file, bytes))
        return CProfileDocument();
    return CProfileDocument::Parse(bytes);
}

}  // namespace

std::string PosixPathFromWindows(const std::wstring& path) {
    std::wstring p = path;
    const bool hasDrive = p.size() >= 2 && p[1] == L':' &&
                          ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z'));
    if (hasDrive)
        p.erase(0, 2);
    for (wchar_t& c : p) {
        if (c == L'\\')
            c = L'/';
    }
    return EncodeUtf8(p);
}

uint32_t CStandInProfileService::GetString(const wchar_t* section, const wchar_t* key,
                                           wchar_t* buffer, uint32_t size, const wchar_t* file) {
    return LoadDocument(file).GetString(section, key, buffer, size);
}

uint32_t CStandInProfileService::GetSection(const wchar_t* section, wchar_t* buffer, uint32_t size,
                                            const wchar_t* file) {
    return LoadDocument(file).GetSection(section, buffer, size);
}
