// The public header declares the spectrum record and the configuration block for callers in
// plain C; these checks tie each field to the device's own layout, so the two cannot drift.
#include "KalvixCtrl.h"
#include "RecordLayouts.h"

#include <cstddef>

#define KALVIX_SAME_FIELD(Public, Wire, field)                                                   \
    static_assert(offsetof(Public, field) == offsetof(Wire, field) &&                           \
                      sizeof(Public::field) == sizeof(Wire::field),                              \
                  #Public "::" #field " lies where the device puts it")

static_assert(sizeof(SpectrumRecord) == sizeof(SpectrumFrame));
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, marker);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, tag);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, SysErrors);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, MeasCount);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, ProcPeriod);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, MaxChA);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, MinChA);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, MaxChB);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, MinChB);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, Module);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, Phase);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, BatteryLevel);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, ChargerStatus);
KALVIX_SAME_FIELD(SpectrumRecord, SpectrumFrame, GPIOStatus);

static_assert(sizeof(DeviceConfiguration) == sizeof(ConfigurationBlock));
KALVIX_SAME_FIELD(DeviceConfiguration, ConfigurationBlock, FrequencyCodes);
KALVIX_SAME_FIELD(DeviceConfiguration, ConfigurationBlock, Shunt);
KALVIX_SAME_FIELD(DeviceConfiguration, ConfigurationBlock, Comp);

static_assert(KALVIX_SPECTRUM_SIZE == SpectrumFrameLength);
