#include "platform/cups/cups_spooler_service.h"

#include <cups/cups.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/cups/printers_conf.h"
#include "platform/platform_failure.h"
#include "platform/posix/usb_sysfs.h"
#include "platform/standin/wide_text.h"

namespace {

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

constexpr char kPpdSetting[] = "ppd";
// The ppd-name of a queue without a PPD (a raw queue), as lpadmin -m raw names it.
constexpr char kRawPpdName[] = "raw";
// The queue's own options (printers.conf's Option lines): "option.NAME", with the text the
// scheduler keeps, whatever the option's IPP type.
constexpr char kOptionPrefix[] = "option.";
// The queue's state, put back after the queue is made: "printer-state" (idle or stopped),
// "printer-is-accepting-jobs" (true or false) and, for a queue stopped or rejecting jobs, the
// message that says why ("printer-state-message").
constexpr char kState[] = "printer-state";
constexpr char kAccepting[] = "printer-is-accepting-jobs";
constexpr char kStateMessage[] = "printer-state-message";

// The queue attributes a record keeps besides the PPD, its options and its state, with the tag
// the scheduler takes them back in. An attribute of several values (a 1setOf) is one setting a
// value, in order. The PPD's own option defaults (paper, resolution, ...) live in the PPD's text.
struct QueueAttribute {
    const char* name;
    ipp_tag_t tag;
};
constexpr QueueAttribute kQueueAttributes[] = {
    {"device-uri", IPP_TAG_URI},
    {"printer-info", IPP_TAG_TEXT},
    {"printer-location", IPP_TAG_TEXT},
    {"printer-geo-location", IPP_TAG_URI},
    {"printer-organization", IPP_TAG_TEXT},
    {"printer-organizational-unit", IPP_TAG_TEXT},
    {"printer-is-shared", IPP_TAG_BOOLEAN},
    {"printer-error-policy", IPP_TAG_NAME},
    {"printer-op-policy", IPP_TAG_NAME},
    {"auth-info-required", IPP_TAG_KEYWORD},
    {"job-sheets-default", IPP_TAG_NAME},
    {"requesting-user-name-allowed", IPP_TAG_NAME},
    {"requesting-user-name-denied", IPP_TAG_NAME},
    {"job-quota-period", IPP_TAG_INTEGER},
    {"job-k-limit", IPP_TAG_INTEGER},
    {"job-page-limit", IPP_TAG_INTEGER},
};

std::wstring Wide(const char* text) {
    return DecodeUtf8(text != nullptr ? text : "");
}

std::string Narrow(const std::wstring& text) {
    return EncodeUtf8(text);
}

bool Refused() {
    return cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE;
}

// Whether the scheduler refused for want of rights: "forbidden" (HTTP 403: the user, even one of
// the lpadmin group, may not do this), "not authorized" or "not authenticated" (HTTP 401: it wants
// credentials), or, as libcups reports a 401 once the password callback gave none (measured with
// CUPS 2.4), "authentication canceled".
bool RefusedForRights(ipp_status_t status) {
    return status == IPP_STATUS_ERROR_NOT_AUTHORIZED || status == IPP_STATUS_ERROR_FORBIDDEN ||
           status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
           status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
}

// Where libcups sends its requests (CUPS_SERVER, client.conf's ServerName, else the local socket
// or localhost), as a person names it: a local socket's path, or the host and port.
std::wstring SchedulerAddress() {
    const char* server = cupsServer();
    if (server == nullptr || server[0] == '\0')
        return L"(no address)";
    return server[0] == '/' ? Wide(server) : Wide(server) + L":" + std::to_wstring(ippPort());
}

// libcups's text for its last error. When the scheduler does not answer in time, or the
// connection breaks, libcups reports an internal error with the text of an errno that nothing
// set: "Success", which would tell the log's reader the opposite of what happened. When it cannot
// reach the scheduler at all, it reports "service unavailable" with another stray errno
// (measured with CUPS 2.4: "Bad file descriptor" for a socket that is not there), so the text
// says what happened instead, and where.
std::wstring LastErrorText() {
    const ipp_status_t status = cupsLastError();
    const char* text = cupsLastErrorString();
    const bool meaningless =
        text == nullptr || text[0] == '\0' || std::strcmp(text, "Success") == 0;
    if (status == IPP_STATUS_ERROR_INTERNAL && meaningless)
        return L"The scheduler did not answer in time (time-out), or the connection to it broke.";
    if (status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
        return L"The scheduler at " + SchedulerAddress() + L" does not answer.";
    return Wide(text != nullptr ? text : "");
}

// Whether a process of this name runs on the machine, by the names /proc gives (each process's
// "comm", which the kernel cuts at 15 characters).
bool ProcessRuns(const std::string& name) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream comm(entry.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name)
            return true;
    }
    return false;
}

bool RecordFailure(const std::wstring& call) {
    const ipp_status_t status = cupsLastError();
    const auto record = RefusedForRights(status) ? RecordPlatformRefusal : RecordPlatformFailure;
    record(call.c_str(), static_cast<uint32_t>(status), LastErrorText());
    return false;
}

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) {
    return nullptr;
}

// When the scheduler asks for a password, libcups asks its password callback, which by default
// prompts on the terminal; given none, the request fails ("authentication canceled") instead of
// hanging an unattended run. libcups keeps the callback per thread (measured: one set on one thread
// is not used on another), so it is set on the thread of each request, not once in the constructor.
// Nothing is put back afterwards: libcups offers no way to read the callback it had, and no part
// of this program wants a prompt.
void RefusePasswordPrompts() {
    cupsSetPasswordCB2(NoPassword, nullptr);
}

// Sends a request (which libcups frees) and, for `file`, that file as its document. The
// response, or null when the scheduler could not be reached or refused; nothing is recorded, so
// that a caller to whom "not found" is an answer can say so.
Ipp Exchange(ipp_t* request, const char* resource, const char* file = nullptr) {
    RefusePasswordPrompts();
    Ipp response(cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, resource, file));
    return Refused() ? nullptr : std::move(response);
}

// As Exchange, with a refusal recorded under the operation's name.
Ipp Send(const wchar_t* call, ipp_t* request, const char* resource, const char* file = nullptr) {
    Ipp response = Exchange(request, resource, file);
    if (response == nullptr)
        RecordFailure(call);
    return response;
}

ipp_t* NewRequest(ipp_op_t operation) {
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

ipp_t* NewQueueRequest(ipp_op_t operation, const std::string& queue) {
    ipp_t* request = ippNewRequest(operation);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

void RequestAttributes(ipp_t* request, std::initializer_list<const char*> names) {
    std::vector<const char*> list(names);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(list.size()), nullptr, list.data());
}

std::string StringOf(ipp_t* response, const char* name) {
    const char* value = ippGetString(ippFindAttribute(response, name, IPP_TAG_ZERO), 0, nullptr);
    return value != nullptr ? value : "";
}

// Every value of the attribute in the given groups of the response, in order.
void Collect(ipp_t* response, const char* name, StringList& values) {
    for (ipp_attribute_t* attribute = ippFirstAttribute(response); attribute != nullptr;
         attribute = ippNextAttribute(response)) {
        const char* attributeName = ippGetName(attribute);
        if (attributeName == nullptr || std::string(attributeName) != name)
            continue;
        for (int i = 0; i < ippGetCount(attribute); ++i)
            values.push_back(Wide(ippGetString(attribute, i, nullptr)));
    }
}

// The queue's attributes; null when the scheduler has no such queue or could not be asked
// (cupsLastError() tells which).
Ipp QueueAttributes(const std::string& queue, std::initializer_list<const char*> names) {
    ipp_t* request = NewQueueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
    RequestAttributes(request, names);
    return Exchange(request, "/");
}

using Settings = std::vector<std::pair<std::wstring, std::wstring>>;
using Options = std::vector<std::pair<std::string, std::string>>;

// One value of an attribute as it is, in text: strings unchanged, integers and enums in decimal,
// booleans as "true" or "false", ranges and resolutions as the scheduler writes them in a queue's
// options ("1-5", "360x180dpi"). False for a value out of band or of another kind.
bool ValueText(ipp_attribute_t* attribute, int index, std::string& text) {
    switch (ippGetValueTag(attribute)) {
        case IPP_TAG_INTEGER:
        case IPP_TAG_ENUM:
            text = std::to_string(ippGetInteger(attribute, index));
            return true;
        case IPP_TAG_BOOLEAN:
            text = ippGetBoolean(attribute, index) ? "true" : "false";
            return true;
        case IPP_TAG_RANGE: {
            int upper = 0;
            const int lower = ippGetRange(attribute, index, &upper);
            text = std::to_string(lower) + "-" + std::to_string(upper);
            return true;
        }
        case IPP_TAG_RESOLUTION: {
            int y = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            const int x = ippGetResolution(attribute, index, &y, &units);
            text = std::to_string(x) + "x" + std::to_string(y) +
                   (units == IPP_RES_PER_INCH ? "dpi" : "dpcm");
            return true;
        }
        default:
            break;
    }
    const char* value = ippGetString(attribute, index, nullptr);
    if (value == nullptr)
        return false;
    text = value;
    return true;
}

// An option's value as the scheduler keeps it, one text with the values of a 1setOf between
// commas (it makes a 1setOf of the commas when it reports the option).
bool OptionText(ipp_attribute_t* attribute, std::string& text) {
    text.clear();
    std::string value;
    for (int i = 0; i < ippGetCount(attribute); ++i) {
        if (!ValueText(attribute, i, value))
            return false;
        text += (i > 0 ? "," : "") + value;
    }
    return ippGetCount(attribute) > 0;
}

// Each value of the response's queue attributes (kQueueAttributes), a setting each.
void ReadAttributes(ipp_t* response, Settings& settings) {
    for (const QueueAttribute& wanted : kQueueAttributes) {
        ipp_attribute_t* attribute = ippFindAttribute(response, wanted.name, IPP_TAG_ZERO);
        std::string text;
        for (int i = 0; i < ippGetCount(attribute); ++i) {
            // The scheduler reports a text it never had as an empty one; written back, it would
            // be set, and printers.conf would have a line more.
            if (ValueText(attribute, i, text) && !(wanted.tag == IPP_TAG_TEXT && text.empty()))
                settings.emplace_back(Wide(wanted.name), Wide(text.c_str()));
        }
    }
}

// The queue's state: stopped or idle (a queue printing now is idle to a restore), whether it
// accepts jobs, and for a queue stopped or rejecting jobs the message that says why (cupsdisable
// -r, cupsreject -r). The message of an idle queue is its backend's, which goes with the job.
void ReadState(ipp_t* response, Settings& settings) {
    const bool stopped =
        ippGetInteger(ippFindAttribute(response, kState, IPP_TAG_ENUM), 0) == IPP_PSTATE_STOPPED;
    const bool accepting =
        ippGetBoolean(ippFindAttribute(response, kAccepting, IPP_TAG_BOOLEAN), 0) != 0;
    settings.emplace_back(Wide(kState), stopped ? L"stopped" : L"idle");
    settings.emplace_back(Wide(kAccepting), accepting ? L"true" : L"false");
    if (stopped || !accepting)
        settings.emplace_back(Wide(kStateMessage), Wide(StringOf(response, kStateMessage).c_str()));
}

// The options the queue sets, as far as the scheduler's report tells them: it reports an option
// the queue sets before its own default of the same name, so a NAME-default reported twice is the
// queue's option NAME, with the first value. An option without a default of the scheduler's
// looks like one of its defaults and is not told.
Options OptionsReportedTwice(ipp_t* response) {
    std::map<std::string, ipp_attribute_t*> first;
    Options options;
    const std::string suffix = "-default";
    for (ipp_attribute_t* attribute = ippFirstAttribute(response); attribute != nullptr;
         attribute = ippNextAttribute(response)) {
        const char* attributeName = ippGetName(attribute);
        const std::string name = attributeName != nullptr ? attributeName : "";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const auto seen = first.emplace(name, attribute);
        if (seen.second || seen.first->second == nullptr)
            continue;
        std::string text;
        if (OptionText(seen.first->second, text))
            options.emplace_back(name.substr(0, name.size() - suffix.size()), text);
        seen.first->second = nullptr;  // told once
    }
    return options;
}

// Whether printers.conf says of the queue what the scheduler reports: the device URI but for its
// user info, and the options reported twice. The file may lag behind a change (by the scheduler's
// DirtyCleanInterval), or CUPS_SERVERROOT may name another scheduler's folder.
bool Agrees(const QueueConfig& config, ipp_t* response, const Options& reported) {
    if (WithoutUserInfo(config.deviceUri) != StringOf(response, "device-uri"))
        return false;
    for (const auto& option : reported) {
        if (std::find(config.options.begin(), config.options.end(), option) == config.options.end())
            return false;
    }
    return true;
}

// Appends the options the queue sets, each "option.NAME" with its text, and puts the whole device
// URI in place of the one reported: both from printers.conf where it can be read and agrees with
// the scheduler (the result is then true); else the options reported twice.
bool ReadOwnOptions(const std::string& queue, ipp_t* response, Settings& settings) {
    const Options reported = OptionsReportedTwice(response);
    QueueConfig config;
    const bool whole = ReadQueueConfig(queue, config) && Agrees(config, response, reported);
    for (const auto& [name, text] : whole ? config.options : reported)
        settings.emplace_back(Wide((kOptionPrefix + name).c_str()), Wide(text.c_str()));
    for (auto& setting : settings) {
        if (whole && setting.first == L"device-uri")
            setting.second = Wide(config.deviceUri.c_str());
    }
    return whole;
}

// The device URI of the queue, with its user info when printers.conf has it and agrees.
std::string DeviceUriOf(const std::string& queue, ipp_t* response) {
    const std::string reported = StringOf(response, "device-uri");
    QueueConfig config;
    return ReadQueueConfig(queue, config) && WithoutUserInfo(config.deviceUri) == reported
               ? config.deviceUri
               : reported;
}

// A PPD's bytes are kept one character each, so that they come back exactly whatever their
// encoding.
std::string Latin1(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t c : text)
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    return bytes;
}

// A temporary file of ours, removed when it goes.
class CTemporaryFile {
  public:
    CTemporaryFile() { m_fd = cupsTempFd(m_name, sizeof m_name); }
    ~CTemporaryFile() {
        if (m_fd >= 0) {
            close(m_fd);
            unlink(m_name);
        }
    }
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;
    int Fd() const { return m_fd; }
    const char* Name() const { return m_name; }

  private:
    char m_name[1024] = {};
    int m_fd = -1;
};

// The PPD of the queue, as the scheduler serves it; false (recorded) when it could not be had.
// A queue without a PPD (a raw queue) has an empty one.
bool FetchPpd(const std::string& queue, std::string& ppd) {
    CTemporaryFile file;
    const std::string resource = "/printers/" + queue + ".ppd";
    if (file.Fd() < 0)
        return RecordFailure(L"cupsTempFd");
    RefusePasswordPrompts();
    const http_status_t status = cupsGetFd(CUPS_HTTP_DEFAULT, resource.c_str(), file.Fd());
    if (status == HTTP_STATUS_NOT_FOUND) {
        ppd.clear();
        return true;
    }
    if (status != HTTP_STATUS_OK) {
        // A 401 comes back as "authorization canceled" once the password callback gave none.
        const bool refused = status == HTTP_STATUS_UNAUTHORIZED ||
                             status == HTTP_STATUS_FORBIDDEN ||
                             status == HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED;
        (refused ? RecordPlatformRefusal : RecordPlatformFailure)(
            (L"GET " + Wide(resource.c_str())).c_str(), static_cast<uint32_t>(status),
            LastErrorText());
        return false;
    }
    // Read back through the descriptor that made the file, never by its name again: whoever can
    // write the folder could have put another file under that name since.
    ppd.clear();
    if (lseek(file.Fd(), 0, SEEK_SET) != 0)
        return RecordFailure(L"lseek");
    char buffer[65536];
    for (ssize_t got; (got = read(file.Fd(), buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return RecordFailure(L"read");
        }
        ppd.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

// The ppd-name of a PPD the scheduler offers with exactly this make and model, or empty.
bool FindPpd(const std::string& makeAndModel, std::string& ppdName) {
    ipp_t* request = NewRequest(IPP_OP_CUPS_GET_PPDS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "ppd-make-and-model", nullptr,
                 makeAndModel.c_str());
    RequestAttributes(request, {"ppd-name", "ppd-make-and-model"});
    Ipp response = Exchange(request, "/");
    // The scheduler answers "not found" when it offers no PPD at all.
    if (response == nullptr && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
        return RecordFailure(L"CUPS-Get-PPDs");
    ppdName.clear();
    std::string name;
    for (ipp_attribute_t* attribute = response ? ippFirstAttribute(response.get()) : nullptr;
         attribute != nullptr; attribute = ippNextAttribute(response.get())) {
        const char* attributeName = ippGetName(attribute);
        if (attributeName == nullptr)
            continue;  // the end of one PPD's group
        const std::string key = attributeName;
        const char* value = ippGetString(attribute, 0, nullptr);
        if (value == nullptr)
            continue;
        if (key == "ppd-name") {
            name = value;
        } else if (key == "ppd-make-and-model" && strcasecmp(value, makeAndModel.c_str()) == 0) {
            ppdName = name;
            return true;
        }
    }
    return true;
}

// The printers of the usb backend only, each a group of the response: every other backend probes
// the network. Null (recorded) when the scheduler could not be asked.
Ipp UsbDevices() {
    ipp_t* request = NewRequest(IPP_OP_CUPS_GET_DEVICES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "include-schemes", nullptr, "usb");
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "timeout", 10);
    RequestAttributes(request, {"device-uri", "device-id"});
    return Send(L"CUPS-Get-Devices", request, "/");
}

// The scheduler's default queue (CUPS-Get-Default), or empty when it has none; false (recorded)
// when it could not be asked.
bool ReadSchedulerDefault(std::string& queue) {
    ipp_t* request = NewRequest(IPP_OP_CUPS_GET_DEFAULT);
    RequestAttributes(request, {"printer-name"});
    Ipp response = Exchange(request, "/");
    // "Not found": the scheduler has no default printer.
    if (response == nullptr && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
        return RecordFailure(L"CUPS-Get-Default");
    queue = response != nullptr ? StringOf(response.get(), "printer-name") : "";
    return true;
}

// The record's values of one queue attribute, as that attribute's type.
void AddAttribute(ipp_t* request, const QueueAttribute& attribute, const QueueRecord& record) {
    std::vector<std::string> values;
    for (const auto& [key, value] : record.settings) {
        if (key == Wide(attribute.name))
            values.push_back(Narrow(value));
    }
    if (values.empty())
        return;
    if (attribute.tag == IPP_TAG_BOOLEAN) {
        ippAddBoolean(request, IPP_TAG_PRINTER, attribute.name, values[0] == "true");
    } else if (attribute.tag == IPP_TAG_INTEGER) {
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_INTEGER, attribute.name,
                      std::atoi(values[0].c_str()));
    } else {
        std::vector<const char*> texts;
        for (const std::string& value : values)
            texts.push_back(value.c_str());
        ippAddStrings(request, IPP_TAG_PRINTER, attribute.tag, attribute.name,
                      static_cast<int>(texts.size()), nullptr, texts.data());
    }
}

// The record's options, each a NAME-default of one value: the scheduler keeps an option as text,
// and given a text it keeps exactly that one (given a number, range or resolution it would write
// its own form of it).
void AddOptions(ipp_t* request, const QueueRecord& record) {
    const std::wstring prefix = Wide(kOptionPrefix);
    for (const auto& [key, value] : record.settings) {
        if (key.rfind(prefix, 0) != 0)
            continue;
        const std::string name = Narrow(key.substr(prefix.size())) + "-default";
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, name.c_str(), nullptr,
                     Narrow(value).c_str());
    }
}

// Makes the queue of the record, idle and accepting jobs, in one request that the scheduler
// carries out whole or not at all (measured with CUPS 2.4: a refused device URI or PPD leaves no
// queue behind).
bool MakeQueue(const QueueRecord& record) {
    ipp_t* request = NewQueueRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, Narrow(record.name));
    // The options come first: job-sheets-default of the attributes, with its two values, then
    // decides the banners even when the queue has an option job-sheets of one value.
    AddOptions(request, record);
    for (const QueueAttribute& attribute : kQueueAttributes)
        AddAttribute(request, attribute, record);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, kState, IPP_PSTATE_IDLE);
    ippAddBoolean(request, IPP_TAG_PRINTER, kAccepting, 1);

    // The record's own PPD goes with the request as its document; without one, the scheduler
    // makes the PPD its driver package names ("raw": none).
    CTemporaryFile ppdFile;
    const char* file = nullptr;
    if (const std::wstring* ppd = record.Setting(Wide(kPpdSetting))) {
        const std::string bytes = Latin1(*ppd);
        if (ppdFile.Fd() < 0 ||
            write(ppdFile.Fd(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            ippDelete(request);
            RecordPlatformFailure(L"cupsTempFd", 0, L"Could not write the PPD to a file.");
            return false;
        }
        file = ppdFile.Name();
    } else if (!record.driverPackage.empty()) {
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "ppd-name", nullptr,
                     Narrow(record.driverPackage).c_str());
    }
    return Send(L"CUPS-Add-Modify-Printer", request, "/admin/", file) != nullptr;
}

// Stops the queue (Pause-Printer, as cupsdisable does) or makes it reject jobs
// (CUPS-Reject-Jobs, as cupsreject does), with the record's message.
bool SetState(ipp_op_t operation, const wchar_t* call, const QueueRecord& record) {
    ipp_t* request = NewQueueRequest(operation, Narrow(record.name));
    // Without a message the scheduler would write one of its own ("Paused", "Rejecting Jobs").
    const std::wstring* message = record.Setting(Wide(kStateMessage));
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, kStateMessage, nullptr,
                 message != nullptr ? Narrow(*message).c_str() : "");
    return Send(call, request, "/admin/") != nullptr;
}

bool HasSetting(const QueueRecord& record, const char* key, const wchar_t* value) {
    const std::wstring* setting = record.Setting(Wide(key));
    return setting != nullptr && *setting == value;
}

}  // namespace

CCupsSpoolerService::CCupsSpoolerService(std::string usbDevicesFolder)
    : m_usbDevices(std::move(usbDevicesFolder)) {}

CCupsSpoolerService::~CCupsSpoolerService() {
    for (Queue* queue : m_open)
        delete queue;
}

bool CCupsSpoolerService::IsOpen(PrinterHandle printer) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_open.count(static_cast<Queue*>(printer)) != 0)
        return true;
    RecordPlatformFailure(L"OpenPrinter", IPP_STATUS_ERROR_INTERNAL, L"Not an open queue.");
    return false;
}

bool CCupsSpoolerService::ListLocalPrinters(StringList& names) {
    ipp_t* request = NewRequest(IPP_OP_CUPS_GET_PRINTERS);
    // Queues of this scheduler, not classes nor queues found on other hosts.
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_ENUM, "printer-type", 0);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_ENUM, "printer-type-mask",
                  CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE);
    RequestAttributes(request, {"printer-name"});
    Ipp response = Exchange(request, "/");
    // "Not found" is the scheduler's answer when it has no queue.
    if (response == nullptr && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
        return RecordFailure(L"CUPS-Get-Printers");
    if (response != nullptr)
        Collect(response.get(), "printer-name", names);
    return true;
}

bool CCupsSpoolerService::ListPorts(StringList& names) {
    Ipp response = UsbDevices();
    if (response == nullptr)
        return false;
    Collect(response.get(), "device-uri", names);
    return true;
}

bool CCupsSpoolerService::ListUsbPrinters(std::vector<UsbPrinterDevice>& devices) {
    Ipp response = UsbDevices();
    if (response == nullptr)
        return false;
    std::string uri;
    std::string deviceId;
    const auto addDevice = [&] {
        if (uri.empty())
            return;
        UsbPrinterDevice device{Wide(uri.c_str()), Wide(deviceId.c_str()), {}, {}};
        std::string vid;
        std::string pid;
        if (FindUsbDeviceIds(m_usbDevices, uri, deviceId, vid, pid)) {
            device.vid = Wide(vid.c_str());
            device.pid = Wide(pid.c_str());
        }
        devices.push_back(std::move(device));
        uri.clear();
        deviceId.clear();
    };
    // A nameless attribute ends one device's group.
    for (ipp_attribute_t* attribute = ippFirstAttribute(response.get()); attribute != nullptr;
         attribute = ippNextAttribute(response.get())) {
        const char* name = ippGetName(attribute);
        const char* value = ippGetString(attribute, 0, nullptr);
        if (name == nullptr)
            addDevice();
        else if (value != nullptr && std::string(name) == "device-uri")
            uri = value;
        else if (value != nullptr && std::string(name) == "device-id")
            deviceId = value;
    }
    addDevice();
    return true;
}

PrinterHandle CCupsSpoolerService::OpenPrinter(const wchar_t* name) {
    Ipp response = QueueAttributes(Narrow(name), {"printer-name"});
    if (response == nullptr) {
        RecordFailure(L"Get-Printer-Attributes");
        return nullptr;
    }
    // The scheduler matches names without regard to case; the handle keeps its own spelling.
    Queue* queue = new Queue{StringOf(response.get(), "printer-name")};
    std::lock_guard<std::mutex> hold(m_lock);
    m_open.insert(queue);
    return queue;
}

bool CCupsSpoolerService::PurgePrinter(PrinterHandle printer) {
    if (!IsOpen(printer))
        return false;
    const Queue* queue = static_cast<Queue*>(printer);
    return Send(L"Purge-Jobs", NewQueueRequest(IPP_OP_PURGE_JOBS, queue->name), "/admin/") !=
           nullptr;
}

bool CCupsSpoolerService::DeletePrinter(PrinterHandle printer) {
    if (!IsOpen(printer))
        return false;
    const Queue* queue = static_cast<Queue*>(printer);
    return Send(L"CUPS-Delete-Printer", NewQueueRequest(IPP_OP_CUPS_DELETE_PRINTER, queue->name),
                "/admin/") != nullptr;
}

bool CCupsSpoolerService::ClosePrinter(PrinterHandle printer) {
    Queue* queue = static_cast<Queue*>(printer);
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_open.erase(queue) == 0)
        return false;
    delete queue;
    return true;
}

bool CCupsSpoolerService::DeletePrinterDriver(const wchar_t* name) {
    QueueState state;
    switch (LookUpQueue(name, state)) {
        case QueueLookup::kAbsent:
            return true;
        case QueueLookup::kPresent:
            RecordPlatformFailure(L"CUPS-Delete-Printer", IPP_STATUS_ERROR_NOT_POSSIBLE,
                                  L"The queue still uses its PPD.");
            return false;
        case QueueLookup::kUnknown:
            break;
    }
    return false;
}

QueueLookup CCupsSpoolerService::LookUpQueue(const wchar_t* name, QueueState& state) {
    Ipp response = QueueAttributes(Narrow(name), {"printer-name", "device-uri"});
    if (response == nullptr) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
            return QueueLookup::kAbsent;
        RecordFailure(L"Get-Printer-Attributes");
        return QueueLookup::kUnknown;
    }
    // Whole where it can be had, so that a queue made on a URI with credentials is found on it.
    state.port =
        Wide(DeviceUriOf(StringOf(response.get(), "printer-name"), response.get()).c_str());
    state.pendingDeletion = false;
    return QueueLookup::kPresent;
}

bool CCupsSpoolerService::ReadQueue(const wchar_t* name, QueueRecord& record) {
    ipp_t* request = NewQueueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, Narrow(name));
    // "printer-defaults" asks for every NAME-default, the queue's options among them.
    std::vector<const char*> names = {"printer-name", "printer-make-and-model", kState, kAccepting,
                                      kStateMessage,  "printer-defaults"};
    for (const QueueAttribute& attribute : kQueueAttributes)
        names.push_back(attribute.name);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(names.size()), nullptr, names.data());
    Ipp response = Send(L"Get-Printer-Attributes", request, "/");
    if (response == nullptr)
        return false;
    QueueRecord read;
    const std::string queue = StringOf(response.get(), "printer-name");
    read.name = Wide(queue.c_str());
    const std::string makeAndModel = StringOf(response.get(), "printer-make-and-model");
    read.driver = Wide(makeAndModel.c_str());
    ReadAttributes(response.get(), read.settings);
    ReadState(response.get(), read.settings);
    read.deviceUriWhole = ReadOwnOptions(queue, response.get(), read.settings);

    // A queue without a PPD is a raw queue, and is made again as one.
    std::string ppd;
    std::string ppdName = kRawPpdName;
    if (!FetchPpd(queue, ppd) || (!ppd.empty() && !FindPpd(makeAndModel, ppdName)))
        return false;
    read.driverPackage = Wide(ppdName.c_str());
    if (!ppd.empty())
        read.settings.emplace_back(Wide(kPpdSetting), DecodeLatin1(ppd));

    std::string defaultQueue;
    if (!ReadSchedulerDefault(defaultQueue))
        return false;
    read.isDefault = defaultQueue == queue;
    record = std::move(read);
    return true;
}

bool CCupsSpoolerService::IsDriverInstalled(const wchar_t* name) {
    std::string ppdName;
    return FindPpd(Narrow(name), ppdName) && !ppdName.empty();
}

bool CCupsSpoolerService::InstallDriverFromPackage(const QueueRecord& record) {
    // A raw queue has no driver to install.
    if (record.Setting(Wide(kPpdSetting)) != nullptr || Narrow(record.driverPackage) == kRawPpdName)
        return true;
    std::string ppdName;
    if (!FindPpd(Narrow(record.driver), ppdName))
        return false;
    if (!ppdName.empty() && ppdName == Narrow(record.driverPackage))
        return true;
    RecordPlatformFailure(L"CUPS-Get-PPDs", IPP_STATUS_ERROR_NOT_FOUND,
                          L"The scheduler offers no PPD " + record.driverPackage + L".");
    return false;
}

bool CCupsSpoolerService::AddQueue(const QueueRecord& record) {
    if (!MakeQueue(record))
        return false;
    // The scheduler clears a new queue's reasons once its PPD is in place, "paused" among them:
    // the queue is stopped, and then made to reject jobs, after it is made, each in a request of
    // its own, as cupsdisable and cupsreject do it.
    const bool stopped = HasSetting(record, kState, L"stopped");
    const bool rejecting = HasSetting(record, kAccepting, L"false");
    if ((stopped && !SetState(IPP_OP_PAUSE_PRINTER, L"Pause-Printer", record)) ||
        (rejecting && !SetState(IPP_OP_CUPS_REJECT_JOBS, L"CUPS-Reject-Jobs", record))) {
        // A queue made in part is not the record's: it goes again (its failure is the one told).
        Exchange(NewQueueRequest(IPP_OP_CUPS_DELETE_PRINTER, Narrow(record.name)), "/admin/");
        return false;
    }
    return true;
}

bool CCupsSpoolerService::SetDefaultPrinter(const wchar_t* name) {
    return Send(L"CUPS-Set-Default", NewQueueRequest(IPP_OP_CUPS_SET_DEFAULT, Narrow(name)),
                "/admin/") != nullptr;
}

bool CCupsSpoolerService::ReadDefaultPrinter(std::wstring& name) {
    std::string queue;
    if (!ReadSchedulerDefault(queue))
        return false;
    name = Wide(queue.c_str());
    return true;
}

bool CCupsSpoolerService::StageDriverPackage(const wchar_t* infPath) {
    RecordPlatformFailure(L"StageDriverPackage", IPP_STATUS_ERROR_OPERATION_NOT_SUPPORTED,
                          std::wstring(L"CUPS keeps no driver store to put ") + infPath +
                              L" in; a PPD is given with each queue.");
    return false;
}

std::wstring CCupsSpoolerService::UnreachableReason(const std::optional<PlatformFailure>& failure) {
    const char* named = std::getenv("CUPS_SERVER");
    const std::wstring scheduler =
        L"The CUPS scheduler at " + SchedulerAddress() +
        (named != nullptr && named[0] != '\0' ? L" (CUPS_SERVER)"
                                              : L" (CUPS_SERVER is not set: client.conf's "
                                                L"ServerName, or the default)");
    const uint32_t code = failure ? failure->code : static_cast<uint32_t>(cupsLastError());
    if (code != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE && code != IPP_STATUS_ERROR_INTERNAL)
        return scheduler + L" could not be asked" +
               (failure && !failure->text.empty() ? L": " + failure->text : L".");
    std::wstring sentence = scheduler + L" does not answer";
    const char* server = cupsServer();
    struct stat found = {};
    if (server != nullptr && server[0] == '/')
        sentence += stat(server, &found) != 0 ? L": no socket is there"
                    : S_ISSOCK(found.st_mode) ? L": nothing accepts connections on that socket"
                                              : L": that is no socket";
    // Whether the scheduler runs at all is what an administrator asks next; /proc tells it
    // without another connection that could hang as well.
    sentence += ProcessRuns("cupsd")
                    ? L". A process named cupsd is running: it may listen elsewhere, or be busy."
                    : L". No process named cupsd is running: start the scheduler (systemctl "
                      L"start cups).";
    return sentence;
}

bool CCupsSpoolerService::FindSystemDriver(const wchar_t* makeAndModel, std::wstring& package) {
    std::string found;
    if (!FindPpd(Narrow(makeAndModel), found))
        return false;
    package = Wide(found.c_str());
    return true;
}

bool CCupsSpoolerService::HasBackend(const std::wstring& scheme) {
    if (scheme == L"file")
        return true;
    // A scheme is letters, digits, "+", "-" and "." only (RFC 3986): it names no other folder.
    if (scheme.empty() ||
        scheme.find_first_not_of(L"abcdefghijklmnopqrstuvwxyz"
                                 L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") != std::wstring::npos)
        return false;
    const char* serverBin = std::getenv("CUPS_SERVERBIN");
    const std::string backend = std::string(serverBin != nullptr ? serverBin : "/usr/lib/cups") +
                                "/backend/" + Narrow(scheme);
    struct stat status {};
    return stat(backend.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool CCupsSpoolerService::PrintTestPage(const wchar_t* queue) {
    ipp_t* request = NewQueueRequest(IPP_OP_PRINT_JOB, Narrow(queue));
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "Test page");
    // The scheduler tells the test page's type itself (a banner file that its filters lay out),
    // as it does for lp.
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 "application/octet-stream");
    const char* dataFolder = std::getenv("CUPS_DATADIR");
    const std::string page =
        std::string(dataFolder != nullptr ? dataFolder : "/usr/share/cups") + "/data/testprint";
    return Send(L"Print-Job", request, "/", page.c_str()) != nullptr;
}
