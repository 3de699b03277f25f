#include "platform/cups/printers_conf.h"

#include <cups/cups.h>
#include <cups/file.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

namespace {

// Whether the scheduler libcups speaks to runs on this machine, where its server root is a folder
// of ours to read: a local socket or a loopback address.
bool SchedulerIsLocal() {
    const char* server = cupsServer();
    const std::string name = server != nullptr ? server : "";
    return name.empty() || name[0] == '/' || strcasecmp(name.c_str(), "localhost") == 0 ||
           name.rfind("127.", 0) == 0 || name == "::1" || name == "[::1]";
}

std::string ConfigPath() {
    const char* root = std::getenv("CUPS_SERVERROOT");
    return std::string(root != nullptr && root[0] != '\0' ? root : "/etc/cups") + "/printers.conf";
}

// The scheduler's file, open for reading; null when it cannot be read, or when it is not the
// scheduler's: CUPS_SERVERROOT may name any folder, and a file that another account than root
// owns or may write could say anything of a queue that a privileged run then makes.
cups_file_t* OpenConfig() {
    const int fd = open(ConfigPath().c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info = {};
    if (fd >= 0 && fstat(fd, &info) == 0 && info.st_uid == 0 &&
        (info.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        if (cups_file_t* file = cupsFileOpenFd(fd, "r"))
            return file;
    }
    if (fd >= 0)
        close(fd);
    return nullptr;
}

// An "Option NAME TEXT" line's value split as the scheduler splits it: the name up to the first
// blank, the text after the blanks that follow it. False for a line without text.
bool SplitOption(const char* value, std::pair<std::string, std::string>& option) {
    const char* end = value;
    while (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end)))
        ++end;
    const char* text = end;
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    if (*text == '\0')
        return false;
    option = {std::string(value, end), text};
    return true;
}

}  // namespace

bool ReadQueueConfig(const std::string& queue, QueueConfig& config) {
    if (!SchedulerIsLocal())
        return false;
    cups_file_t* file = OpenConfig();
    if (file == nullptr)
        return false;
    // cupsFileGetConf reads the file as the scheduler does, with a line as long as the
    // scheduler's; it strips comments and unquotes "\#".
    char line[4096];
    char* value = nullptr;
    int number = 0;
    bool inQueue = false;
    bool found = false;
    QueueConfig read;
    while (!found && cupsFileGetConf(file, line, sizeof line, &value, &number) != nullptr) {
        if (strcasecmp(line, "<Printer") == 0 || strcasecmp(line, "<DefaultPrinter") == 0) {
            inQueue = value != nullptr && strcasecmp(value, queue.c_str()) == 0;
        } else if (line[0] == '<') {
            found = inQueue;
        } else if (inQueue && value != nullptr && strcasecmp(line, "DeviceURI") == 0) {
            read.deviceUri = value;
        } else if (inQueue && value != nullptr && strcasecmp(line, "Option") == 0) {
            std::pair<std::string, std::string> option;
            if (SplitOption(value, option))
                read.options.push_back(std::move(option));
        }
    }
    cupsFileClose(file);
    if (!found)
        return false;
    config = std::move(read);
    return true;
}

std::string WithoutUserInfo(const std::string& uri) {
    // As the scheduler does it: after "scheme:" and its slashes, everything up to the first "@"
    // that comes before the next "/".
    const size_t colon = uri.find(':');
    if (colon == std::string::npos)
        return uri;
    const size_t start = uri.find_first_not_of('/', colon + 1);
    if (start == std::string::npos)
        return uri;
    const size_t slash = uri.find('/', start);
    const size_t at = uri.find('@', start);
    if (at == std::string::npos || (slash != std::string::npos && at > slash))
        return uri;
    return uri.substr(0, start) + uri.substr(at + 1);
}
