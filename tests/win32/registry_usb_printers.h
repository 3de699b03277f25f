#pragma once

#include <windows.h>

#include "tests/win32/named_turn.h"

#include <optional>
#include <string>
#include <vector>

// Writes fake USB printer interfaces into the registry, where Wine's SetupDi* functions find
// them, and deletes the keys of every printer it added when it goes away, so that each test
// leaves the registry as it found it. Test cases run side by side in one Wine prefix: each should
// use VID/PID pairs of its own, and do all its registry and SetupDi reads while its helper lives.
class CRegistryUsbPrinters {
  public:
    // The `Linked` value under the interface's `#\Control` key: Wine lists the interface as
    // present only when it is a non-zero DWORD.
    enum class Link { kActive, kInactive, kNoValue };

    CRegistryUsbPrinters();
    ~CRegistryUsbPrinters();
    CRegistryUsbPrinters(const CRegistryUsbPrinters&) = delete;
    CRegistryUsbPrinters& operator=(const CRegistryUsbPrinters&) = delete;

    // Adds the interface of the USB device `USB\VID_<vid>&PID_<pid>\<serial>` (vid and pid as
    // four hex digits), with a `Port Number` when one is given. Fails the calling test, and
    // returns false, when a key or value cannot be written.
    bool Add(const std::wstring& vid, const std::wstring& pid, const std::wstring& serial,
             Link link = Link::kActive, std::optional<DWORD> portNumber = std::nullopt);

    // The name of the interface's entry below the interface class key.
    static std::wstring EntryName(const std::wstring& vid, const std::wstring& pid,
                                  const std::wstring& serial);

  private:
    bool CreateKey(const std::wstring& path, HKEY& key);

    // Held while the helper lives, so that test processes writing USB printers take turns. The
    // registry and SetupDi walk keys by index: a key that another process adds or deletes during
    // a walk shifts the ones after it, and the walk then skips an entry or sees one twice. And a
    // helper deletes the keys it made, the shared class key included. Declared first so that it
    // is let go last, after the keys are deleted.
    CNamedTurn m_turn;
    // Below HKEY_LOCAL_MACHINE, the keys to delete, in the order written.
    std::vector<std::wstring> m_written;
};
