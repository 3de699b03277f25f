#pragma once

// The Plug-and-Play driver update of the operating system.
class IPnpService {
  public:
    virtual ~IPnpService() = default;

    // Installs the driver of `infPath` on every present device of `hardwareId`, even where the
    // system ranks a driver it has higher; no restart is offered. True on success.
    virtual bool UpdateDriver(const wchar_t* hardwareId, const wchar_t* infPath) = 0;

    // Whether the last successful update said that the computer must restart before the driver
    // is in use. Nothing here ever restarts it: that is the user's or the deployment engine's
    // decision.
    virtual bool RestartRequired() const = 0;
};
