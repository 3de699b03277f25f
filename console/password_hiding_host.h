#pragma once

#include <string>

#include "console/console_program.h"
#include "platform/uri_passwords.h"

// Every line the program prints, with the passwords of device URIs hidden: standard output and
// error end up in deployment engines' reports and in terminal logs.
class CPasswordHidingHost : public IConsoleHost {
  public:
    explicit CPasswordHidingHost(IConsoleHost& inner) : m_inner(inner) {}
    void Out(const std::wstring& line) override { m_inner.Out(WithoutPasswords(line)); }
    void Err(const std::wstring& line) override { m_inner.Err(WithoutPasswords(line)); }
    bool StopRequested() const override { return m_inner.StopRequested(); }
    void AllowImmediateStop(bool allowed) override { m_inner.AllowImmediateStop(allowed); }
    bool ReadInputLine(std::string& line, size_t mostBytes) override {
        return m_inner.ReadInputLine(line, mostBytes);
    }
    ConsolePlatform Platform() const override { return m_inner.Platform(); }

  private:
    IConsoleHost& m_inner;
};
