#pragma once

#include <atomic>
#include <future>
#include <string>
#include <thread>

// The test program's private CUPS scheduler, started once before the first test and ended after
// the last (tests/cups/start-scheduler.sh); libcups finds it through CUPS_SERVER, as it would find
// any scheduler, and its folder, where its printers.conf is, through CUPS_SERVERROOT.
//
// The folder it runs in: its printers.conf, and where a file named hold-drivers makes its driver
// lister wait and one named fail-drivers makes it fail (start-scheduler.sh).
std::string PrivateSchedulerFolder();

// A printer of the test's own on the loopback: its port, and the bytes of one connection.
std::future<std::string> LoopbackPrinter(int& port);

// A stand-in for the private scheduler's address that passes everything on to it until the
// queue `queue` is gone from it, and from then on holds every byte a client sends: a run stops
// dead at its first request after it deleted that queue, however fast it would go on.
class CHoldAfterDeletion {
  public:
    explicit CHoldAfterDeletion(std::string queue);
    ~CHoldAfterDeletion();
    CHoldAfterDeletion(const CHoldAfterDeletion&) = delete;
    CHoldAfterDeletion& operator=(const CHoldAfterDeletion&) = delete;

    // The value for CUPS_SERVER.
    const std::string& Server() const { return m_server; }
    // Whether a client waits: the queue is gone, and a request came after.
    bool Holding() const { return m_holding; }

  private:
    void Pass();

    const std::string m_queue;
    int m_listener = -1;
    std::string m_server;
    std::atomic<bool> m_holding{false};
    std::atomic<bool> m_stop{false};
    std::thread m_passing;
};
