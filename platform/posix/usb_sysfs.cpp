#include "platform/posix/usb_sysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>

#include "platform/hex_digit.h"
#include "platform/posix/posix_fd.h"

namespace {

// A USB string descriptor holds at most 126 UTF-16 units, which the kernel writes as at most 378
// bytes of UTF-8 and a line end; anything longer is no attribute of a USB device.
constexpr size_t kLongestAttribute = 512;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// One attribute file of a device folder, trimmed. Nothing when it is missing, is not a plain file
// (opened without blocking, so that a FIFO planted in a copied tree cannot hang us) or is longer
// than any attribute.
std::optional<std::string> ReadAttribute(int folder, const char* name) {
    CPosixFd file(openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status;
    if (file.Get() < 0 || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    char buffer[kLongestAttribute + 1];
    size_t size = 0;
    while (size < sizeof buffer) {
        const ssize_t n = read(file.Get(), buffer + size, sizeof buffer - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return Trim(std::string(buffer, size));
        size += static_cast<size_t>(n);
    }
    return std::nullopt;
}

// idVendor or idProduct: four hexadecimal digits, which the kernel writes in lower case.
std::optional<std::string> ReadId(int folder, const char* name) {
    std::optional<std::string> id = ReadAttribute(folder, name);
    if (!id || id->size() != 4)
        return std::nullopt;
    for (char& c : *id) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return id;
}

// Undoes the URI's percent-encoding, which the backend applies to every byte outside the
// unreserved set; false for a broken escape.
bool PercentDecode(const std::string& text, std::string& decoded) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (low < 0)
            return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    decoded = std::move(out);
    return true;
}

// The value of the URI's `serial=` parameter, or nothing when it has none.
std::optional<std::string> RawSerialOf(const std::string& uri) {
    const size_t query = uri.find('?');
    if (query == std::string::npos)
        return std::nullopt;
    for (size_t start = query + 1; start <= uri.size();) {
        size_t end = uri.find('&', start);
        if (end == std::string::npos)
            end = uri.size();
        const std::string parameter = uri.substr(start, end - start);
        if (parameter.compare(0, 7, "serial=") == 0)
            return parameter.substr(7);
        start = end + 1;
    }
    return std::nullopt;
}

// A field of an IEEE 1284 device ID ("MFG:Korvel;MDL:RV-90;"), by either of its names.
std::string DeviceIdField(const std::string& deviceId, const char* shortName,
                          const char* longName) {
    for (size_t start = 0; start < deviceId.size();) {
        size_t end = deviceId.find(';', start);
        if (end == std::string::npos)
            end = deviceId.size();
        const std::string field = deviceId.substr(start, end - start);
        const size_t colon = field.find(':');
        if (colon != std::string::npos) {
            const std::string key = Trim(field.substr(0, colon));
            if (strcasecmp(key.c_str(), shortName) == 0 || strcasecmp(key.c_str(), longName) == 0)
                return Trim(field.substr(colon + 1));
        }
        start = end + 1;
    }
    return {};
}

bool SameText(const std::optional<std::string>& attribute, const std::string& wanted) {
    return attribute && strcasecmp(attribute->c_str(), wanted.c_str()) == 0;
}

}  // namespace

bool FindUsbDeviceIds(const std::string& devicesFolder, const std::string& uri,
                      const std::string& deviceId, std::string& vid, std::string& pid) {
    std::string serial;
    const std::optional<std::string> rawSerial = RawSerialOf(uri);
    if (rawSerial && (!PercentDecode(*rawSerial, serial) || (serial = Trim(serial)).empty()))
        return false;
    const std::string make = DeviceIdField(deviceId, "MFG", "MANUFACTURER");
    const std::string model = DeviceIdField(deviceId, "MDL", "MODEL");
    if (!rawSerial && (make.empty() || model.empty()))
        return false;

    std::unique_ptr<DIR, DirCloser> dir(opendir(devicesFolder.c_str()));
    if (dir == nullptr)
        return false;
    std::optional<std::string> foundVid;
    std::optional<std::string> foundPid;
    int matches = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.')
            continue;
        // The kernel lists each device as a link to its folder: followed here, and only here.
        CPosixFd folder(
            openat(dirfd(dir.get()), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.Get() < 0)
            continue;
        // Interfaces ("1-1:1.0") and anything else without IDs are no devices.
        std::optional<std::string> vendor = ReadId(folder.Get(), "idVendor");
        std::optional<std::string> product = ReadId(folder.Get(), "idProduct");
        if (!vendor || !product)
            continue;
        const bool match = rawSerial
                               ? ReadAttribute(folder.Get(), "serial") == serial
                               : SameText(ReadAttribute(folder.Get(), "manufacturer"), make) &&
                                     SameText(ReadAttribute(folder.Get(), "product"), model);
        if (!match)
            continue;
        ++matches;
        foundVid = std::move(vendor);
        foundPid = std::move(product);
    }
    if (matches != 1)
        return false;
    vid = *foundVid;
    pid = *foundPid;
    return true;
}
