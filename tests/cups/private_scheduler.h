#pragma once

#include <future>
#include <string>

// The test program's private CUPS scheduler, started once before the first test and ended after
// the last (tests/cups/start-scheduler.sh); libcups finds it through CUPS_SERVER, as it would find
// any scheduler, and its folder, where its printers.conf is, through CUPS_SERVERROOT.
//
// The folder it runs in: its printers.conf, and where a file named hold-drivers makes its driver
// lister wait and one named fail-drivers makes it fail (start-scheduler.sh).
std::string PrivateSchedulerFolder();

// A printer of the test's own on the loopback: its port, and the bytes of one connection.
std::future<std::string> LoopbackPrinter(int& port);
