/*
 * Control of the software Kalvix device for tests and demos.
 *
 * The emulated KalvixCtrl.dll exports, beside KalvixControl and GetDLLVersion, the function
 *
 *     int32_t KalvixEmulatorControl(uint32_t instance, uint32_t what, int32_t value,
 *                                   void* data, uint32_t size);
 *
 * (bind it with GetProcAddress(module, "KalvixEmulatorControl") as KalvixEmulatorControlProc).
 * Programs linked statically with the emulator call the same function directly.
 *
 * `instance` picks the device instance (0..16) where the setting belongs to one device and is
 * ignored otherwise. `value` is the setting's number; `data`/`size` carry text, records or a
 * destination buffer. The result is >= 0 on success (for read-backs: the value asked for, or the
 * number of bytes written to `data`) and one of the negative KALVIX_EMU_ERR_ codes on failure.
 * `size` is the byte size of the buffer behind `data`: a text must end (zero byte) inside it, a
 * record must fit in it; a read-back copies at most `size` bytes.
 *
 * Every setting is per process: each process that loads the emulator has its own devices. Only
 * exclusive open is shared between processes (an instance opened by one process is refused with
 * ERROR_ACCESS_DENIED to every other). A program that cannot call this function in another
 * process (a demonstration starting the control panel) sets the start in its environment
 * instead: KALVIX_EMULATOR_AFE=0 starts every instance with no AFE plugged;
 * KALVIX_EMULATOR_REPLAY=<path of a measurement log> starts every instance replaying that log
 * (as KALVIX_EMU_REPLAY), looping when KALVIX_EMULATOR_REPLAY_LOOP=1 is set too. A log named there
 * that cannot be used is reported on the standard error and the devices measure their object.
 *
 * Replay (KALVIX_EMU_REPLAY): while measuring, every spectrum the device sends is the next row of
 * the log as recorded (MeasCount, module, phase, ProcPeriod, the four levels, SysErrors, GPIO
 * status, battery level, charger status; SysErrors gets bit 0x0008 added only when the device's
 * own FIFO drops spectra during the replay). Rows come one every FrequencyDivider ms of the log's
 * header (or at KALVIX_EMU_FLOOD_RATE when set); a row whose MeasCount is k above the previous
 * row's comes k periods after it, so counts missing from the log stay missing and are time in
 * which nothing is sent (a count that does not go forward, or a jump above 1000, takes one
 * period). When the log ends the device sends nothing more until the next start (value 0), or
 * goes on from the first row with its recorded MeasCounts (value 1). Every start (measuring or
 * external trigger) begins at the first row; under external trigger each burst takes the next
 * rows. Rows the log reader cannot use are skipped. The file is read a few rows at a time while
 * the device runs, never whole; the device's other behaviour (GPIO frames, replies, settings)
 * does not change, and the divider the host sets still decides how many spectra go per transfer.
 *
 * While an instance is open, a helper thread (the pump) completes its pending reads; it ends with
 * the last open instance. A program that frees the DLL while still connected unloads it: the
 * library leaves the device idle and closes it, and a program that loads the DLL again finds the
 * instance free.
 */
#ifndef KALVIX_EMULATOR_H
#define KALVIX_EMULATOR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum KalvixEmulatorWhat {
    /* Process-wide. */
    KALVIX_EMU_RESET = 1,              /* every instance and setting back to its defaults; open handles stay */
    KALVIX_EMU_INSTANCE_COUNT = 2,     /* value 0..17 instances exist (default 2) */
    KALVIX_EMU_CLASS_INSTALLED = 3,    /* value 0: the device interface class is not installed (55) */
    KALVIX_EMU_PATH_PADDING = 4,       /* value extra characters in every device path (0..400) */
    KALVIX_EMU_PUMP_HOLD_MS = 6,       /* value: the pump keeps the emulator's lock this long each time it runs (0..60000; a host slow to service the device) */

    /* Per instance: presence and identity. */
    KALVIX_EMU_PRESENT = 10,           /* value 0/1; removing an open instance fails its reads (see KALVIX_EMU_PULLED_ERROR); plugging it back restarts it (power-on settings) */
    KALVIX_EMU_HELD_ELSEWHERE = 11,    /* value 1: opening gives ERROR_ACCESS_DENIED as if another program held it */
    KALVIX_EMU_SERIAL = 12,            /* data: serial text, at most 16 characters (string descriptor 3) */
    KALVIX_EMU_IDENT_TEXT = 13,        /* data: identification text of opcodes 2/48, at most 54 bytes */
    KALVIX_EMU_NON_BULK_PIPE = 14,     /* value 1: the OUT endpoint is an interrupt pipe (open fails, 17) */

    /* Per instance: the measuring head and what is measured. */
    KALVIX_EMU_AFE_PLUGGED = 20,       /* value 0/1 (default 1); a change sends a GPIO frame */
    KALVIX_EMU_AFE_RECORD = 21,        /* value: a KalvixAfeRecordKind; rewrites the AFE memory */
    KALVIX_EMU_AFE_WRITE = 22,         /* value: memory address; data/size: bytes stored there */
    KALVIX_EMU_AFE_READ = 23,          /* value: memory address; data/size receives the bytes */
    KALVIX_EMU_OBJECT = 24,            /* data: KalvixEmulatorObject, the object under test */
    KALVIX_EMU_NOISE_PPM = 25,         /* value: measurement noise (module deviation in ppm; 0 = exact) */
    KALVIX_EMU_GPIO_INPUTS = 26,       /* value: levels of input lines 1 and 2 (bits 2 and 1 of the status) */
    KALVIX_EMU_BATTERY_MV = 27,        /* value: battery level now, in millivolt */
    KALVIX_EMU_REPLAY = 28,            /* data: path of a measurement log (text), value 0: stop at its end, 1: loop; empty text or no data: back to the object (see Replay above); an unusable log: KALVIX_EMU_ERR_LOG, nothing changed */

    /* Per instance: faults. */
    KALVIX_EMU_DEVICE_FAILURE = 30,    /* value 1: every read and write fails with ERROR_GEN_FAILURE; 0 afterwards: the device restarts (power-on settings) */
    KALVIX_EMU_REPLY_DELAY_MS = 31,    /* value: delay of replies (opcodes 2, 48, 11, I2C read; default 2); -1 = never */
    KALVIX_EMU_I2C_NACK = 32,          /* value 1: no I2C slave answers */
    KALVIX_EMU_NOISE_TRANSFERS = 33,   /* value n: the next n transfers carry noise bytes before their frames */
    KALVIX_EMU_SHORT_TRANSFERS = 34,   /* value n: a short fragment transfer goes before each of the next n */
    KALVIX_EMU_PULLED_ERROR = 35,      /* value ERROR_GEN_FAILURE (default), ERROR_DEVICE_NOT_CONNECTED or ERROR_BAD_COMMAND: the error reads and writes of a pulled (not present) open instance end with */

    /* Per instance: timing. */
    KALVIX_EMU_TRIGGER_PULSES = 40,    /* value n: n external trigger pulses now */
    KALVIX_EMU_TRIGGER_PERIOD_MS = 41, /* value: automatic trigger pulse period (0 = off) */
    KALVIX_EMU_FLOOD_RATE = 42,        /* value: spectra per second regardless of the divider (0 = off) */
    KALVIX_EMU_FIFO_CAPACITY = 43,     /* value: spectra the device holds for the host, 1..4096 (default 256) */

    /* Per instance: read-back. */
    KALVIX_EMU_GET_STATE = 100,        /* data: KalvixEmulatorState; result: bytes written */
    KALVIX_EMU_GET_LAST_FRAME = 101,   /* value: opcode, or -1 for any; data: the last such request frame; result: its length (0 none) */
    KALVIX_EMU_GET_OPCODE_COUNT = 102, /* value: opcode; result: number of such requests received */
    KALVIX_EMU_GET_TABLE = 103,        /* value: opcode of the table (3 shunt, 4 comp, 17 DAC, 18 phases); data: its bytes */
    KALVIX_EMU_GET_FRAME_LOG = 104     /* data: uint16_t opcodes of the last requests, oldest first (up to 64); result: count */
};

enum KalvixEmulatorError {
    KALVIX_EMU_ERR_UNKNOWN = -1,       /* unknown `what` */
    KALVIX_EMU_ERR_INSTANCE = -2,      /* instance above 16 */
    KALVIX_EMU_ERR_VALUE = -3,         /* value out of range */
    KALVIX_EMU_ERR_DATA = -4,          /* data missing or size too small */
    KALVIX_EMU_ERR_LOG = -5            /* the file cannot be opened or is not a measurement log */
};

/* Values of KALVIX_EMU_AFE_RECORD. */
enum KalvixAfeRecordKind {
    KALVIX_AFE_VALID = 0,
    KALVIX_AFE_BAD_CRC = 1,
    KALVIX_AFE_SIZE_ZERO = 2,
    KALVIX_AFE_SIZE_TOO_BIG = 3,           /* size field 8064 */
    KALVIX_AFE_SHUNT_NOT_INCREASING = 4,   /* two frequencies swapped, CRC correct */
    KALVIX_AFE_SHUNT_NOT_POSITIVE = 5,     /* a negative module, CRC correct */
    KALVIX_AFE_ERASED = 6
};

/* The object under test: a resistor in series with a parallel RC. */
typedef struct KalvixEmulatorObject {
    double seriesOhm;
    double parallelOhm;
    double parallelFarad;
} KalvixEmulatorObject;

/* What one device instance is doing and has received. */
typedef struct KalvixEmulatorState {
    uint32_t open;             /* 1 while opened by this process */
    uint32_t mode;             /* 0 idle, 1 measuring, 2 external trigger */
    uint32_t dividerCode;
    uint32_t divider;
    uint32_t spectraPerTransfer;
    uint32_t excitation;
    uint32_t gains;
    uint32_t batteryMode;
    uint32_t tenX;
    uint32_t compensation;     /* 0, 0x00FF or 0xFF00 */
    uint32_t gpioMask;
    uint32_t gpioStatus;
    uint32_t startWord;        /* parameter of the last start request */
    uint32_t nextMeasCount;
    uint32_t spectraProduced;  /* since the last start */
    uint32_t spectraDropped;   /* dropped by the full FIFO since the last start */
    uint32_t spectraSent;
    uint32_t fifoLevel;
    uint32_t transfersSent;
    uint32_t requestsReceived;
    uint32_t malformedRequests;
    uint32_t unknownOpcodes;
    uint32_t repliesSent;
    uint32_t repliesWithheld;  /* replies never sent (KALVIX_EMU_REPLY_DELAY_MS -1) */
    uint32_t i2cReads;
    uint32_t i2cWrites;
    uint32_t i2cUnanswered;
    uint32_t afeAddress;       /* the AFE memory's address counter */
    uint32_t batteryMv;
    uint32_t pendingReads;
    uint32_t abortedReads;
    uint32_t triggerPulses;
    uint32_t transfersLost;    /* transfers on their way when the host aborted its read */
    uint32_t spectraAfterStop; /* queued spectra sent after a stop */
} KalvixEmulatorState;

typedef int32_t (*KalvixEmulatorControlProc)(uint32_t instance, uint32_t what, int32_t value, void* data,
                                             uint32_t size);

int32_t KalvixEmulatorControl(uint32_t instance, uint32_t what, int32_t value, void* data, uint32_t size);

/* Size checks that every C and C++ standard accepts: an array of -1 elements does not compile. */
typedef char KalvixEmulatorStateIs34Words[sizeof(KalvixEmulatorState) == 34 * 4 ? 1 : -1];
typedef char KalvixEmulatorObjectIsThreeDoubles[sizeof(KalvixEmulatorObject) == 24 ? 1 : -1];

#ifdef __cplusplus
}
#endif

#endif
