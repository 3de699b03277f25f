#pragma once

struct SetupContext;

// How a setup run installs the chosen printer once its old queues are gone, and applies the
// options after. On Windows the setup record's own install is used (the Plug-and-Play update or
// the printer UI, see SetupContext::Install); where the setup makes the queue itself (CUPS), a
// CQueueInstall.
class IInstallMethod {
  public:
    virtual ~IInstallMethod() = default;

    // Before the old queues are removed: reads what Install needs (its driver, the spooler's
    // other queues), so that the printer is gone only while its new queue is made. False (logged)
    // when the install cannot be made: then nothing is to be removed.
    virtual bool Prepare(SetupContext& setup) = 0;

    // Installs the printer of the setup record on its port, with what Prepare read for it (it
    // prepares itself when it was not). True only when the queue is there afterwards, as asked.
    virtual bool Install(SetupContext& setup) = 0;

    // After a successful install: the default printer and the test page, as the record's options
    // say. A failure here is logged and does not undo the install.
    virtual void ApplyOptions(SetupContext& setup) = 0;
};
