#include "platform/win32/win32_device_tree_service.h"

#include <windows.h>
#include <cfgmgr32.h>

uint32_t CWin32DeviceTreeService::LocateRoot(uint32_t& node) {
    DEVINST root = 0;
    const CONFIGRET result = CM_Locate_DevNodeW(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL);
    if (result == CR_SUCCESS)
        node = root;
    return result;
}

uint32_t CWin32DeviceTreeService::Reenumerate(uint32_t node) {
    return CM_Reenumerate_DevNode(node, 0);
}
