#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

// The program's own folder, %ProgramData%\Korvel Setup, and the checks that what is found in it
// was made, and can be changed, by trusted accounts only. The file store and the setup lock both
// keep their files there; a run with administrator rights must use nothing that a standard user
// could have planted or may change.

// The full path of %ProgramData%\Korvel Setup, which is the same for every account of the
// machine; false with the failure recorded.
bool ProgramFolderPath(std::wstring& path);

// The accounts whose folders and files the program trusts: the system and the administrators;
// the installer service as an owner; and the account the program runs as, an administrator, as
// the program asks for elevation. On Windows what an administrator's elevated program makes is
// owned by the administrators, but Wine 8 reports every file as owned by the account the
// program runs as, with full control for it and for the system, whatever was asked for when it
// was made (measured: a folder made with full control for the system and the administrators
// reads back as owned by S-1-5-21-0-0-0-1000 with full control for that account and the system).
class CTrustedAccounts {
  public:
    // Reads the running account; false with the failure recorded.
    bool Load();

    bool MayChange(PSID sid) const;
    bool MayOwn(PSID sid) const;
    // Whether `sid` is the running account or the administrators: the owners of a file that a
    // person asked the program to write to. The system and the installer service own the files
    // of the system, which such a request must not reach.
    bool IsRunningAccountOrAdministrators(PSID sid) const;
    // The running account's security identifier as text ("S-1-5-18"); empty when it cannot be
    // converted (the failure is then recorded).
    std::wstring UserSid() const;

  private:
    std::vector<BYTE> m_user;  // a TOKEN_USER
    UniqueLocal<void> m_installer;
};

// Security attributes made from an SDDL text, for an object made with exactly those rights (the
// program's folder, a new log copy). Get() is null when the text could not be converted; the
// failure is then recorded.
class CSddlSecurity {
  public:
    explicit CSddlSecurity(const wchar_t* sddl);
    SECURITY_ATTRIBUTES* Get() { return m_descriptor ? &m_attributes : nullptr; }

  private:
    UniqueLocal<void> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes{};
};

// Whether the owner and the access list of `descriptor` let nobody but trusted accounts change
// what it guards. Refusals are recorded under the name `check`.
bool TrustedSecurity(PSECURITY_DESCRIPTOR descriptor, const CTrustedAccounts& accounts,
                     const wchar_t* check);

// Why accounts other than the system, the administrators and the installer service may change
// what `descriptor` guards: its owner is another account, it has no access list, or its list
// lets another account change it. Empty when only those may. The running account counts as
// another one here: its programs that run without elevation have its rights too.
std::wstring WhyOthersMayChangeIt(PSECURITY_DESCRIPTOR descriptor);

// Whether an open file is a plain file (no link, no folder) that a trusted account owns.
// Refusals are recorded as "file check".
bool TrustedFile(HANDLE file);

// Held while the program's folder at `root` is checked and, when it cannot be trusted, moved
// aside and made again. Two runs with administrator rights that both found the folder untrusted
// would otherwise each move it, and the second could move away the new folder in which the first
// already holds its lock; the setup lock cannot guard this, as it lives in that very folder. The
// guard is a mutex in the global namespace, where only services and administrators may make
// objects, and only the system and administrators may open it. Held() is false, with the failure
// recorded, when it could not be had within a minute.
class CProgramFolderGuard {
  public:
    explicit CProgramFolderGuard(const std::wstring& root);
    ~CProgramFolderGuard();
    CProgramFolderGuard(const CProgramFolderGuard&) = delete;
    CProgramFolderGuard& operator=(const CProgramFolderGuard&) = delete;

    bool Held() const { return m_held; }
    // The mutex's name for the folder at `root`: one guard a folder.
    static std::wstring NameFor(const std::wstring& root);

  private:
    UniqueHandle m_mutex;
    bool m_held = false;
};
