#pragma once

struct SetupContext;

// Puts the driver package of the chosen printer's family into the system's driver store, without
// a queue, so that Plug and Play installs it by itself when the printer is first plugged in. The
// family's INF must be resolved (ResolveDriverInfPath). True when the store took it.
bool StageModelDriver(SetupContext& setup);
