#pragma once

#include <string>
#include <utility>
#include <vector>

// What the scheduler's own file, printers.conf, keeps of one queue and does not show its clients
// as such: the device URI with its user info ("user:password@"), which the scheduler leaves out of
// the device-uri it reports, and the options the queue itself sets (its Option lines), which the
// scheduler reports mixed with defaults of its own.
struct QueueConfig {
    std::string deviceUri;
    // Name and text, as the scheduler keeps them ("media", "iso_a4_210x297mm").
    std::vector<std::pair<std::string, std::string>> options;
};

// The stanza of `queue` (<Printer NAME> or <DefaultPrinter NAME>, the name compared without
// regard to case) in printers.conf of libcups's server root (CUPS_SERVERROOT, else /etc/cups).
// False when the scheduler libcups speaks to is not on this machine, the file cannot be read
// (only root may read it on a standard system), is not root's alone to write, or has no such
// queue.
//
// The file may lag behind the scheduler, or belong to another scheduler than the one libcups
// speaks to: a caller compares it with what the scheduler reports before it trusts it.
bool ReadQueueConfig(const std::string& queue, QueueConfig& config);

// A device URI as the scheduler reports it: without the user info before the host.
std::string WithoutUserInfo(const std::string& uri);
