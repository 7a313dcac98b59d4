#include "AfeProcessing.h"

#include "GlobalCtrl.h"
#include "PanelHooks.h"
#include "TextFormat.h"

namespace {

const char* LibraryTransfer(void* context, uint32_t count, uint32_t slaveAddress, uint32_t write, uint8_t* data)
{
    KalvixControlProc control = *static_cast<KalvixControlProc*>(context);
    uint32_t record[3] = {count, slaveAddress, write};
    return control(CMD_I2C_TRANSFER, 0, record, data);
}

void SleepWait(void*, uint32_t milliseconds)
{
    Sleep(milliseconds);
}

} // namespace

I2cBus LibraryI2cBus(KalvixControlProc* control)
{
    return I2cBus{control, LibraryTransfer, SleepWait};
}

int32_t ReadAfeRecord(GlobalCtrl* ctrl, const I2cBus& bus)
{
    const char* errorText = nullptr;
    const int32_t read = ReadAfeImage(ctrl->AfeArea, bus, &errorText);
    if (read != AfeRecordOk) {
        PanelShowStatus(ctrl->Hooks, errorText, 0);
        return read;
    }

    uint16_t storedCrc = 0;
    const int32_t checked = CheckAfeRecord(ctrl->AfeArea, &storedCrc);
    if (checked == AfeSizeError) {
        PanelShowStatus(ctrl->Hooks, "ERROR: AFE Data Size Error.", 0);
        return AfeSizeError;
    }
    if (checked != AfeRecordOk) {
        char text[64];
        TextSink sink = MakeTextSink(text, sizeof text);
        Print(sink, "ERROR: AFE Data CRC failed, expected CRC value: 0x{:04X}.", storedCrc);
        PanelShowStatus(ctrl->Hooks, text, 0);
        return AfeCrcOrInterpolationError;
    }

    if (InterpolateShunt(ctrl->AfeArea, ctrl->Configuration.Shunt, ctrl->Frequencies) != 0) {
        PanelShowStatus(ctrl->Hooks, "ERROR: AFE Shunt Data Interpolate Error.", 0);
        return AfeCrcOrInterpolationError;
    }
    return AfeRecordOk;
}

void CheckDeviceVersion(GlobalCtrl* ctrl)
{
    const DeviceVersions versions = ReadDeviceVersions(ctrl->DeviceIdentification, sizeof ctrl->DeviceIdentification);
    if (DeviceVersionSupported(versions))
        return;
    PanelShowStatus(ctrl->Hooks, "ERROR: Attached device is incompatible with version of this program!", 0);
    PanelDisconnect(ctrl->Hooks);
}
