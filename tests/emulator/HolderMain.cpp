// Helper program: opens emulated instance N through the emulated platform operations (as
// another program using the device would), signals the ready event, and holds the instance
// until the release event is set (or a minute passes).
//   emulator_holder.exe <instance> <ready event name> <release event name>
#include "EmulatorRegistry.h"
#include "PlatformOps.h"

#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const DWORD instance = static_cast<DWORD>(atoi(argv[1]));
    const PlatformOps& ops = DefaultPlatformOps;
    HDEVINFO set = ops.getClassDevs(&EmulatedInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return 3;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    DWORD required = 0;
    if (!ops.enumDeviceInterfaces(set, nullptr, &EmulatedInterfaceClass, instance, &data))
        return 4;
    ops.getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr);
    std::vector<char> storage(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!ops.getDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr))
        return 5;
    HANDLE file = ops.createFile(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    ops.destroyDeviceInfoList(set);
    if (file == INVALID_HANDLE_VALUE)
        return 6;

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!ready || !release)
        return 7;
    SetEvent(ready);
    WaitForSingleObject(release, 60000);
    ops.closeHandle(file);
    return 0;
}
