#pragma once

#include <windows.h>

// Holds a named mutex for its lifetime, so that test processes sharing one Wine prefix take turns
// at something the machine has only once (the registry's USB printer entries, the spooler's
// queues). Fails the calling test when the turn cannot be had within a minute.
class CNamedTurn {
  public:
    explicit CNamedTurn(const wchar_t* name);
    ~CNamedTurn();
    CNamedTurn(const CNamedTurn&) = delete;
    CNamedTurn& operator=(const CNamedTurn&) = delete;

  private:
    HANDLE m_mutex = nullptr;
    bool m_owned = false;
};
