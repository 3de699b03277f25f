#pragma once

#include "platform/device_tree_service.h"

// The configuration manager's CM_Locate_DevNodeW and CM_Reenumerate_DevNode.
class CWin32DeviceTreeService : public IDeviceTreeService {
  public:
    uint32_t LocateRoot(uint32_t& node) override;
    uint32_t Reenumerate(uint32_t node) override;
};
