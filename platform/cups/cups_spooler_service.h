#pragma once

#include <mutex>
#include <set>
#include <string>

#include "platform/queue_setup_service.h"
#include "platform/spooler_service.h"

// The print spooler on Linux: the CUPS scheduler that libcups finds by itself (CUPS_SERVER,
// client.conf or the local socket), spoken to with plain IPP requests.
//
// What a Windows spooler keeps apart, CUPS keeps in the queue: a queue's driver is its PPD, which
// the scheduler deletes with the queue. So a QueueRecord read here carries the PPD's text itself
// (the setting "ppd"), besides the queue's attributes by their IPP names (device URI,
// description, location, sharing, policies, user lists, quotas), its state and its own options;
// its driver is the PPD's make and model, and its driver package the name under which the
// scheduler can make that PPD again (a ppd-name of CUPS-Get-PPDs), "raw" for a queue without a
// PPD, or empty when it cannot.
//
// Values are kept as they are, a setting each: an attribute of several values (a list of users)
// has a setting per value, under the same name. The state is "printer-state" (idle or stopped),
// "printer-is-accepting-jobs" (true or false) and, for a queue stopped or rejecting jobs,
// "printer-state-message". The queue's own options are "option.NAME" settings with the text the
// scheduler keeps ("option.media" = "iso_a4_210x297mm").
//
// Two things the scheduler shows no client as they are: the user info of a device URI
// ("user:password@"), which it leaves out, and which options the queue sets rather than the
// scheduler, which it reports together. Where its printers.conf can be read (printers_conf.h: a
// local scheduler, and root), both come from there; elsewhere the device URI lacks any user info
// (QueueRecord::deviceUriWhole is false) and the options are those the scheduler reports twice.
//
// A request the scheduler refuses for want of rights (forbidden, or a password wanted) is recorded
// as a refusal (RecordPlatformRefusal). libcups is never let ask for a password on the terminal:
// an unattended run would hang on the prompt.
class CCupsSpoolerService : public ISpoolerService, public IQueueSetupService {
  public:
    // `usbDevicesFolder` is where the kernel lists USB devices, read for their vendor and product
    // IDs.
    explicit CCupsSpoolerService(std::string usbDevicesFolder = "/sys/bus/usb/devices");
    ~CCupsSpoolerService() override;
    CCupsSpoolerService(const CCupsSpoolerService&) = delete;
    CCupsSpoolerService& operator=(const CCupsSpoolerService&) = delete;

    bool ListLocalPrinters(StringList& names) override;
    // The device URIs of the usb backend only: every other backend probes the network.
    bool ListPorts(StringList& names) override;
    PrinterHandle OpenPrinter(const wchar_t* name) override;
    bool PurgePrinter(PrinterHandle printer) override;
    // CUPS deletes a queue at once, open handles or not: nothing is ever pending deletion.
    bool DeletePrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;
    // A queue's PPD goes with the queue: true once no queue of that name is left, false while one
    // still uses it.
    bool DeletePrinterDriver(const wchar_t* name) override;
    // The port is the whole device URI where printers.conf gives it (see ReadQueue).
    QueueLookup LookUpQueue(const wchar_t* name, QueueState& state) override;
    bool ReadQueue(const wchar_t* name, QueueRecord& record) override;
    // Whether the scheduler offers a PPD of this make and model (CUPS-Get-PPDs).
    bool IsDriverInstalled(const wchar_t* name) override;
    // CUPS installs no drivers apart from queues: true when the record carries its PPD, is a raw
    // queue's, or its driver package is a PPD the scheduler offers.
    bool InstallDriverFromPackage(const QueueRecord& record) override;
    // A queue with the record's PPD (or, without one, the PPD its driver package names; none for
    // "raw"), attributes and options, then stopped and rejecting jobs as the record says, with
    // its message. A queue that could not be stopped or made to reject jobs is deleted again.
    bool AddQueue(const QueueRecord& record) override;
    // The scheduler's default (CUPS-Set-Default), which every user without a default of their
    // own (lpoptions) prints to.
    bool SetDefaultPrinter(const wchar_t* name) override;
    // The scheduler's default (CUPS-Get-Default), as SetDefaultPrinter sets it. A user's own
    // default (lpoptions -d, LPDEST, PRINTER) is the client's setting, which the scheduler does
    // not know.
    bool ReadDefaultPrinter(std::wstring& name) override;
    // CUPS has no driver store to put a package in ahead of a queue: always false, with a failure
    // saying so.
    bool StageDriverPackage(const wchar_t* infPath) override;
    // Names the scheduler libcups reaches and who named it (CUPS_SERVER, else client.conf or the
    // default); when it does not answer, whether its socket is there and whether a process
    // named cupsd runs (by /proc).
    std::wstring UnreachableReason(const std::optional<PlatformFailure>& failure) override;

    // The usb backend's printers (CUPS-Get-Devices), each with its vendor and product IDs when
    // the USB devices folder holds exactly one device that answers to it (FindUsbDeviceIds).
    bool ListUsbPrinters(std::vector<UsbPrinterDevice>& devices) override;
    // The ppd-name of a PPD the scheduler offers with exactly this make and model (CUPS-Get-PPDs),
    // for example "Epson 9-Pin Series"; empty when it offers none.
    bool FindSystemDriver(const wchar_t* makeAndModel, std::wstring& package) override;
    // CUPS's own test page (Print-Job), through the queue's filters.
    bool PrintTestPage(const wchar_t* queue) override;
    // A program of that name in the backends' folder (CUPS_SERVERBIN/backend, by default
    // /usr/lib/cups/backend), or "file", which the scheduler serves itself. Asking the scheduler
    // (CUPS-Get-Devices) would start every backend, and the network ones probe for seconds.
    bool HasBackend(const std::wstring& scheme) override;

  private:
    struct Queue {
        std::string name;
    };
    const std::string m_usbDevices;
    // Open handles, which a worker thread may use as well.
    std::mutex m_lock;
    std::set<Queue*> m_open;

    bool IsOpen(PrinterHandle printer);
};
