#pragma once

#include <windows.h>

#include "platform/queue_record.h"
#include "tests/win32/named_turn.h"

#include <string>
#include <vector>

// Makes print queues in Wine's real spooler for a test, and takes away every queue and driver it
// made when it goes away, whatever the test did to them in between, so that each run starts from
// the spooler it found.
//
// Test processes run side by side in one Wine prefix, and the spooler keeps its queues in the
// shared registry: a listing is a sizing call and a filling call over registry keys walked by
// index, and a queue that another process adds or deletes between them makes the listing fail or
// skip an entry. So the fixture holds a named mutex for its whole life, and test cases give their
// queues and drivers names of their own (UniqueName) and look only at those.
class CSpoolerFixture {
  public:
    CSpoolerFixture();
    ~CSpoolerFixture();
    CSpoolerFixture(const CSpoolerFixture&) = delete;
    CSpoolerFixture& operator=(const CSpoolerFixture&) = delete;

    // A name no other test case uses: the running test's suite and name.
    static std::wstring UniqueName();

    // Installs the test printer driver (test_printer_driver.cpp, built beside the test program)
    // under this name for the 64-bit environment. Fails the calling test, and returns false, when
    // the spooler refuses it.
    bool AddDriver(const std::wstring& name);

    // Adds a queue of this name on LPT1: with a driver added before. Fails the calling test, and
    // returns false, when the spooler refuses it.
    bool AddQueue(const std::wstring& name, const std::wstring& driver);

    // Adds a queue as a user would have set it up: on LPT2:, with a comment of two lines, a
    // location, A5 paper in its device mode and the printer data of SetUpData().
    bool AddSetUpQueue(const std::wstring& name, const std::wstring& driver);

    // The printer data AddSetUpQueue writes, in the order it writes them: two values of the
    // driver's key, one an application publishes, and one in a key below the driver's key.
    static const std::vector<QueueDataValue>& SetUpData();

    // Whether the spooler lists a 64-bit driver of exactly this name.
    static bool HasDriver(const std::wstring& name);

  private:
    bool Add(const std::wstring& name, const std::wstring& driver, bool setUp);

    // Declared first so that it is let go last, after the queues and drivers are gone.
    CNamedTurn m_turn;
    std::vector<std::wstring> m_queues;
    std::vector<std::wstring> m_drivers;
    // The driver files copied into the spooler's driver directory, as full paths.
    std::vector<std::wstring> m_files;
};
