/*
 * KalvixCtrl.dll: the device interface library of the Kalvix impedance spectrum meter.
 *
 * Every device operation is one call of KalvixControl(command, param, record, data). It returns
 * NULL on success, or a zero-terminated result text that stays valid until the same thread
 * calls into the library again. Texts beginning with "ERRO" are errors; the one warning,
 * "WARNING: Data polling timeout.", is not.
 *
 * Usable from C and C++. Callers that load the library at run time bind the two exports by name
 * ("KalvixControl", "GetDLLVersion") and use the KalvixControlProc / GetDLLVersionProc types.
 */
#ifndef KALVIX_CTRL_H
#define KALVIX_CTRL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KALVIX_BUILDING_LIBRARY) || !defined(_WIN32)
#define KALVIX_API
#else
#define KALVIX_API __declspec(dllimport)
#endif

/* Command codes: only the low 8 bits of `command` select the command (0x101 acts as 1). */
enum KalvixCommand {
    CMD_CONNECT = 1,
    CMD_DISCONNECT = 2,
    CMD_GET_STATUS = 3,
    CMD_GET_DEVICE_INFO = 4,
    CMD_START_MEASUREMENT = 5,
    CMD_GET_SPECTRA = 6,
    CMD_STOP_MEASUREMENT = 7,
    CMD_SET_DIVIDER = 8,
    CMD_SET_EXCITATION = 9,
    CMD_SET_GAINS = 10,
    CMD_SET_BATTERY = 11,
    CMD_READ_CONFIGURATION = 12,
    CMD_SET_GPIO = 13,
    CMD_I2C_TRANSFER = 14,
    CMD_EXT_TRIGGER = 15,
    CMD_LOAD_SHUNT = 16,
    CMD_LOAD_COMP = 17,
    CMD_SET_COMPENSATION = 18,
    CMD_GET_GPIO_STATUS = 19,
    CMD_SET_10X = 20,
    CMD_LOAD_DAC = 22,
    CMD_LOAD_PHASES = 23,
    CMD_WRITE_BLOCK_19 = 24,
    CMD_WRITE_BLOCK_20 = 25,
    CMD_WRITE_BLOCK_21 = 26,
    CMD_SET_VALUE_22 = 27,
    CMD_SET_VALUE_16 = 28,
    CMD_GET_DEVICE_INFO_48 = 48,
    CMD_WRITE_BLOCK_49 = 49,
    CMD_SET_VALUE_50 = 50,
    CMD_SET_FLAG_51 = 51,
    CMD_SET_VALUE_52 = 52,
    CMD_SET_FLAG_53 = 53,
    CMD_SET_VALUE_54 = 54,
    CMD_WRITE_BLOCK_55 = 55,
    CMD_SET_VALUE_65 = 65,
    CMD_SET_FLAG_67 = 67,
    CMD_SET_VALUE_68 = 68,
    CMD_WRITE_BLOCK_69 = 69,
    CMD_SET_FLAG_73 = 73
};

/* Result ids: string table ids of the library's result texts. */
enum KalvixResult {
    RESULT_NOT_INITIALIZED = 101,      /* "ERROR: Dll module is not initialized correctly." */
    RESULT_UNKNOWN_COMMAND = 102,      /* "ERROR: Unknown command." */
    RESULT_ALREADY_CONNECTED = 103,    /* "ERROR: Device already connected." */
    RESULT_ALREADY_DISCONNECTED = 104, /* "ERROR: Device already disconnected." */
    RESULT_MISSING_INPUT = 105,        /* "ERROR: Expected input variables not initialized." */
    RESULT_SYSTEM_ERROR = 106,         /* "ERROR: [%05d] " + the system's text for the code */
    RESULT_NOT_CONNECTED = 107,        /* "ERROR: The application is not connected with the device." */
    RESULT_INTERNAL_ERROR = 108,       /* "ERROR: [%05d] DLL internal error." */
    RESULT_ALREADY_MEASURING = 109,    /* "ERROR: Device is already in measuring mode." */
    RESULT_ALREADY_IDLE = 110,         /* "ERROR: Device is already in idle mode." */
    RESULT_NOT_IDLE = 111,             /* "ERROR: Device is not in idle mode." */
    RESULT_NOT_MEASURING = 112,        /* "ERROR: Device not in measurement mode." */
    RESULT_BAD_DIVIDER = 113,          /* "ERROR: Incorrect divider value." */
    RESULT_OUT_OF_RANGE = 114,         /* "ERROR: Input value out of range." */
    RESULT_NO_RESPONSE = 115,          /* "ERROR: Device did not respond to command." */
    RESULT_POLLING_TIMEOUT = 116,      /* "WARNING: Data polling timeout." */
    RESULT_BAD_BYTE_COUNT = 117,       /* "ERROR: Byte count value out of range." */
    RESULT_BAD_SLAVE_ADDRESS = 118,    /* "ERROR: Slave address value out of range." */
    RESULT_I2C_NO_RESPONSE = 119,      /* "ERROR: I2C Slave did not respond." */
    RESULT_ALREADY_TRIGGERED = 120     /* "ERROR: Device is already in external trigger measuring mode." */
};

/* Asynchronous codes the library posts into the status word registered with CMD_GET_STATUS. */
enum KalvixStatusCode {
    STATUS_DEVICE_NOT_FUNCTIONING = 31, /* the device failed a read; the reader has stopped */
    STATUS_READER_START_FAILED = 14000,
    STATUS_READER_SYNC_FAILED = 14003,
    STATUS_RING_OVERRUN = 14004
};

/* Caller-owned transfer counters, registered with GetDLLVersion; the library only adds to them. */
typedef struct ActivityCounters {
    uint32_t bytesReceived;
    uint32_t bytesSent;
} ActivityCounters;

#pragma pack(push, 1)
/* One spectrum, exactly as the device's 0x01DD frame (192 bytes, little-endian). */
typedef struct SpectrumRecord {
    uint16_t marker;        /* 0xFF03 */
    uint16_t tag;           /* 0x01DD */
    uint16_t reserved4;
    uint16_t SysErrors;
    uint32_t MeasCount;
    uint32_t ProcPeriod;    /* microseconds */
    uint16_t MaxChA;
    uint16_t MinChA;
    uint16_t MaxChB;
    uint16_t MinChB;
    float Module[15];       /* ohm */
    float Phase[15];        /* degree */
    uint16_t BatteryLevel;  /* mV */
    uint16_t ChargerStatus;
    uint16_t GPIOStatus;
    uint8_t reserved150[42];
} SpectrumRecord;

/* The configuration block CMD_READ_CONFIGURATION delivers: 272 bytes. The device's reply frame is
 * 276 bytes long; its first 4 bytes, the frame marker 0xFF03 and the reply tag 0x03DD (both
 * little-endian), are the library's and are not handed over. */
typedef struct DeviceConfiguration {
    uint16_t reserved0;
    uint16_t FrequencyCodes[15]; /* frequency in Hz = code * 1000 / divider */
    float Shunt[30];             /* 15 real parts, then 15 imaginary parts, ohm */
    float Comp[30];              /* same order */
} DeviceConfiguration;
#pragma pack(pop)

/* Size checks that every C and C++ standard accepts: an array of -1 elements does not compile. */
typedef char KalvixSpectrumRecordIs192Bytes[sizeof(SpectrumRecord) == 192 ? 1 : -1];
typedef char KalvixDeviceConfigurationIs272Bytes[sizeof(DeviceConfiguration) == 272 ? 1 : -1];

#define KALVIX_SPECTRUM_SIZE 192
#define KALVIX_CONFIGURATION_SIZE 272
#define KALVIX_LIBRARY_VERSION "1.20"

/* The command entry; see the command codes above for what each uses of param, record and data. */
KALVIX_API char* KalvixControl(uint32_t command, uint32_t param, uint32_t* record, uint8_t* data);
/* Registers the caller's counters (may be NULL) and returns the version text "1.20". */
KALVIX_API char* GetDLLVersion(ActivityCounters* counters);

typedef char* (*KalvixControlProc)(uint32_t command, uint32_t param, uint32_t* record, uint8_t* data);
typedef char* (*GetDLLVersionProc)(ActivityCounters* counters);

#ifdef __cplusplus
}
#endif

#endif
