#include "platform/cups/cups_spooler_service.h"

#include <cups/cups.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/platform_failure.h"
#include "platform/posix/usb_sysfs.h"
#include "platform/standin/wide_text.h"

namespace {

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

constexpr char kPpdSetting[] = "ppd";

// The queue attributes a record keeps besides the PPD, with the tag the scheduler takes them
// back in. The PPD's own option defaults (paper, resolution, ...) live in the PPD's text.
struct QueueAttribute {
    const char* name;
    ipp_tag_t tag;
};
constexpr QueueAttribute kQueueAttributes[] = {
    {"device-uri", IPP_TAG_URI},
    {"printer-info", IPP_TAG_TEXT},
    {"printer-location", IPP_TAG_TEXT},
    {"printer-is-shared", IPP_TAG_BOOLEAN},
    {"printer-error-policy", IPP_TAG_NAME},
    {"printer-op-policy", IPP_TAG_NAME},
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

bool RecordFailure(const std::wstring& call) {
    const ipp_status_t status = cupsLastError();
    const auto record = RefusedForRights(status) ? RecordPlatformRefusal : RecordPlatformFailure;
    record(call.c_str(), static_cast<uint32_t>(status), Wide(cupsLastErrorString()));
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
            Wide(cupsLastErrorString()));
        return false;
    }
    std::ifstream in(file.Name(), std::ios::binary);
    ppd.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    Ipp response = QueueAttributes(Narrow(name), {"device-uri"});
    if (response == nullptr) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
            return QueueLookup::kAbsent;
        RecordFailure(L"Get-Printer-Attributes");
        return QueueLookup::kUnknown;
    }
    state.port = Wide(StringOf(response.get(), "device-uri").c_str());
    state.pendingDeletion = false;
    return QueueLookup::kPresent;
}

bool CCupsSpoolerService::ReadQueue(const wchar_t* name, QueueRecord& record) {
    ipp_t* request = NewQueueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, Narrow(name));
    std::vector<const char*> names = {"printer-name", "printer-make-and-model"};
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
    for (const QueueAttribute& wanted : kQueueAttributes) {
        ipp_attribute_t* attribute = ippFindAttribute(response.get(), wanted.name, IPP_TAG_ZERO);
        if (attribute == nullptr)
            continue;
        char text[4096];
        ippAttributeString(attribute, text, sizeof text);
        read.settings.emplace_back(Wide(wanted.name), Wide(text));
    }
    std::string ppd;
    std::string ppdName;
    if (!FetchPpd(queue, ppd) || !FindPpd(makeAndModel, ppdName))
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
    if (record.Setting(Wide(kPpdSetting)) != nullptr)
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
    // The scheduler makes the queue in one request or not at all (measured with CUPS 2.4: a
    // refused device URI or PPD leaves no queue behind), so nothing made in part is left to undo.
    const std::string queue = Narrow(record.name);
    ipp_t* request = NewQueueRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
    for (const QueueAttribute& attribute : kQueueAttributes) {
        const std::wstring* value = record.Setting(Wide(attribute.name));
        if (value == nullptr)
            continue;
        const std::string text = Narrow(*value);
        if (attribute.tag == IPP_TAG_URI || attribute.tag == IPP_TAG_TEXT) {
            ippAddString(request, IPP_TAG_PRINTER, attribute.tag, attribute.name, nullptr,
                         text.c_str());
            continue;
        }
        // The rest may hold several values, written comma-separated as ippAttributeString
        // writes them.
        std::vector<std::string> parts;
        std::stringstream stream(text);
        for (std::string part; std::getline(stream, part, ',');)
            parts.push_back(part);
        if (attribute.tag == IPP_TAG_BOOLEAN) {
            ippAddBoolean(request, IPP_TAG_PRINTER, attribute.name, text == "true");
        } else if (attribute.tag == IPP_TAG_INTEGER) {
            ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_INTEGER, attribute.name,
                          std::atoi(text.c_str()));
        } else if (!parts.empty()) {
            std::vector<const char*> values;
            for (const std::string& part : parts)
                values.push_back(part.c_str());
            ippAddStrings(request, IPP_TAG_PRINTER, attribute.tag, attribute.name,
                          static_cast<int>(values.size()), nullptr, values.data());
        }
    }
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);

    // The record's own PPD goes with the request as its document; without one, the scheduler
    // makes the PPD its driver package names.
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

bool CCupsSpoolerService::FindSystemDriver(const wchar_t* makeAndModel, std::wstring& package) {
    std::string found;
    if (!FindPpd(Narrow(makeAndModel), found))
        return false;
    package = Wide(found.c_str());
    return true;
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
