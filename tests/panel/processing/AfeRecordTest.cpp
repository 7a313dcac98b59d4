#include "AfeProcessing.h"
#include "AfeCrc16.h"
#include "GlobalCtrl.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// An I2C memory of 8 KiB with a 16-bit address counter that runs on from transfer to transfer;
// erased bytes read as 0xFF.
struct FakeAfeMemory {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(8192, 0xFF);
    uint32_t counter = 0;
    struct Transfer { uint32_t count, slave, write; uint32_t address; };
    std::vector<Transfer> transfers;
    uint32_t waitedMs = 0;
    std::vector<std::string> events; // "wait 20", "write 2", "read 90", ... in the order they came
    size_t failAtTransfer = SIZE_MAX;
    const char* failText = "ERROR: I2C Slave did not respond.";

    I2cBus Bus()
    {
        return I2cBus{this, &FakeAfeMemory::Transfer_, &FakeAfeMemory::Wait_};
    }

    static const char* Transfer_(void* context, uint32_t count, uint32_t slave, uint32_t write, uint8_t* data)
    {
        FakeAfeMemory& m = *static_cast<FakeAfeMemory*>(context);
        m.transfers.push_back({count, slave, write, m.counter});
        m.events.push_back((write ? "write " : "read ") + std::to_string(count));
        if (m.transfers.size() - 1 == m.failAtTransfer || slave != AfeI2cAddress)
            return m.failText;
        if (write) {
            if (count >= 2)
                m.counter = static_cast<uint32_t>((data[0] << 8) | data[1]);
        } else {
            for (uint32_t i = 0; i < count; ++i) {
                data[i] = m.bytes[m.counter % m.bytes.size()];
                m.counter = (m.counter + 1) % m.bytes.size();
            }
        }
        return nullptr;
    }

    static void Wait_(void* context, uint32_t ms)
    {
        static_cast<FakeAfeMemory*>(context)->waitedMs += ms;
        static_cast<FakeAfeMemory*>(context)->events.push_back("wait " + std::to_string(ms));
    }
};

struct TablePoint { float frequency, module, phase; };

std::vector<TablePoint> DefaultTable()
{
    // A series R-C network seen by the shunt calibration, 10 Hz to 10 MHz.
    std::vector<TablePoint> table;
    for (int i = 0; i < 21; ++i) {
        const double f = 10.0 * std::pow(10.0, i * 6.0 / 20.0);
        const double re = 100.0, im = -1.0 / (2 * 3.141592653589793 * f * 1e-6);
        table.push_back({static_cast<float>(f), static_cast<float>(std::hypot(re, im)),
                         static_cast<float>(std::atan2(im, re) * 180.0 / 3.141592653589793)});
    }
    return table;
}

void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Writes a record with the given table and size into the memory and seals it with its CRC.
void WriteRecord(FakeAfeMemory& memory, const std::vector<TablePoint>& table, uint16_t size,
                 const char* description = "Test AFE 100R/1uF")
{
    uint8_t* m = memory.bytes.data();
    std::memset(m, 0, size + 1u);
    std::strcpy(reinterpret_cast<char*>(m), description);
    PutU16(m + 1000, size);
    m[1002] = 0x85;
    m[1003] = 0x07;
    const int32_t count = 21;
    std::memcpy(m + 1004, &count, 4);
    for (size_t i = 0; i < table.size(); ++i)
        std::memcpy(m + 1008 + 12 * i, &table[i], 12);
    if (size >= 1)
        PutU16(m + size - 1, AfeCrc16(m, static_cast<uint16_t>(size - 1)));
}

void Reseal(FakeAfeMemory& memory, uint16_t size)
{
    PutU16(memory.bytes.data() + size - 1, AfeCrc16(memory.bytes.data(), static_cast<uint16_t>(size - 1)));
}

const float MeasurementFrequencies[15] = {5.0f,     10.0f,     63.0f,     1000.0f,   2500.5f,
                                          10000.0f, 31622.78f, 100000.0f, 250000.0f, 500000.0f,
                                          1.0e6f,   3.3e6f,    1.0e7f,    1.2e7f,    2.0e7f};

// Independent reference: the spline with "no cubic term on the end intervals" written as a dense
// system in the moments M, solved with partial pivoting, and evaluated in the textbook form.
struct DenseSpline {
    std::vector<double> t, y, m;

    DenseSpline(std::vector<double> knots, std::vector<double> values) : t(std::move(knots)), y(std::move(values))
    {
        const size_t n = t.size();
        std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
        a[0][0] = 1; a[0][1] = -1;
        a[n - 1][n - 1] = 1; a[n - 1][n - 2] = -1;
        for (size_t i = 1; i + 1 < n; ++i) {
            const double h0 = t[i] - t[i - 1], h1 = t[i + 1] - t[i];
            a[i][i - 1] = h0 / 6; a[i][i] = (h0 + h1) / 3; a[i][i + 1] = h1 / 6;
            a[i][n] = (y[i + 1] - y[i]) / h1 - (y[i] - y[i - 1]) / h0;
        }
        for (size_t c = 0; c < n; ++c) {
            size_t pivot = c;
            for (size_t r = c + 1; r < n; ++r)
                if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
            std::swap(a[c], a[pivot]);
            for (size_t r = 0; r < n; ++r) {
                if (r == c) continue;
                const double f = a[r][c] / a[c][c];
                for (size_t k = c; k <= n; ++k) a[r][k] -= f * a[c][k];
            }
        }
        for (size_t i = 0; i < n; ++i) m.push_back(a[i][n] / a[i][i]);
    }

    double operator()(double x) const
    {
        size_t i = 0;
        while (i + 2 < t.size() && x >= t[i + 1]) ++i;
        const double h = t[i + 1] - t[i], l = t[i + 1] - x, r = x - t[i];
        return m[i] * l * l * l / (6 * h) + m[i + 1] * r * r * r / (6 * h) + (y[i] / h - m[i] * h / 6) * l +
               (y[i + 1] / h - m[i + 1] * h / 6) * r;
    }
};

void ReferenceShunt(const std::vector<TablePoint>& table, const float* freqs, double* out)
{
    std::vector<double> t, y, p;
    for (const TablePoint& point : table) {
        t.push_back(std::log10(static_cast<double>(point.frequency)));
        y.push_back(std::log10(static_cast<double>(point.module)));
        p.push_back(point.phase);
    }
    const DenseSpline moduleSpline(t, y), phaseSpline(t, p);
    for (int j = 0; j < 15; ++j) {
        const double v = std::log10(static_cast<double>(freqs[j]));
        const double module = std::pow(10.0, moduleSpline(v));
        const double angle = phaseSpline(v) * 3.14159265358979323846 / 180.0;
        out[j] = module * std::cos(angle);
        out[15 + j] = module * std::sin(angle);
    }
}

struct AfeFixture : ::testing::Test {
    std::unique_ptr<GlobalCtrl, void (*)(GlobalCtrl*)> ctrl{CreateGlobalCtrl(nullptr), FreeGlobalCtrl};
    HookRecorder hooks{ctrl.get()};
    FakeAfeMemory memory;

    void SetUp() override
    {
        std::memcpy(ctrl->Frequencies, MeasurementFrequencies, sizeof MeasurementFrequencies);
        for (int i = 0; i < 30; ++i)
            ctrl->Configuration.Shunt[i] = 1000.0f + i; // what the device held before
    }
    std::vector<float> ShuntBlock() const
    {
        return std::vector<float>(ctrl->Configuration.Shunt, ctrl->Configuration.Shunt + 30);
    }
    std::vector<std::string> StatusTexts() const
    {
        std::vector<std::string> texts;
        for (const HookCall& call : hooks.Of("status")) {
            EXPECT_EQ(call.id, 0) << "AFE messages use the error form";
            texts.push_back(call.text);
        }
        return texts;
    }
};

} // namespace

TEST_F(AfeFixture, ValidRecordIsReadCheckedAndInterpolated)
{
    const std::vector<TablePoint> table = DefaultTable();
    WriteRecord(memory, table, 1300);

    ASSERT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), 0);
    EXPECT_TRUE(StatusTexts().empty());

    // Address 0 set once, then 90-byte blocks up to the first one starting erased (at 1350).
    ASSERT_EQ(memory.transfers.size(), 1u + 16u);
    EXPECT_EQ(memory.transfers[0].count, 2u);
    EXPECT_EQ(memory.transfers[0].write, 1u);
    EXPECT_EQ(memory.transfers[0].slave, 0x50u);
    for (size_t i = 1; i < memory.transfers.size(); ++i) {
        EXPECT_EQ(memory.transfers[i].count, 90u);
        EXPECT_EQ(memory.transfers[i].write, 0u);
        EXPECT_EQ(memory.transfers[i].address, 90u * (i - 1));
    }
    EXPECT_EQ(memory.waitedMs, 20u + 10u + 2u * 16u);
    // 20 ms before the address is set, 10 ms after it, 2 ms before every block.
    std::vector<std::string> expectedEvents = {"wait 20", "write 2", "wait 10"};
    for (int block = 0; block < 16; ++block) {
        expectedEvents.push_back("wait 2");
        expectedEvents.push_back("read 90");
    }
    EXPECT_EQ(memory.events, expectedEvents);
    EXPECT_EQ(std::memcmp(ctrl->AfeArea, memory.bytes.data(), 1440), 0);
    EXPECT_EQ(AfeDescription(ctrl->AfeArea), "Test AFE 100R/1uF");

    double reference[30];
    ReferenceShunt(table, MeasurementFrequencies, reference);
    for (int i = 0; i < 30; ++i)
        EXPECT_NEAR(ctrl->Configuration.Shunt[i], reference[i], 2e-6 * std::fabs(reference[i]) + 1e-4) << i;
}

TEST_F(AfeFixture, PowerLawTableIsInterpolatedExactlyInsideAndOutside)
{
    // log(module) and phase linear in log(frequency): the spline is that line everywhere.
    std::vector<TablePoint> table;
    for (int i = 0; i < 21; ++i) {
        const double f = 20.0 * std::pow(1.9, i);
        table.push_back({static_cast<float>(f), static_cast<float>(50.0 * std::pow(f, 0.3)),
                         static_cast<float>(10.0 * std::log10(f) - 80.0)});
    }
    WriteRecord(memory, table, 2000);
    ASSERT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), 0);
    for (int j = 0; j < 15; ++j) {
        // The table holds single-precision points; compare with their own line.
        const double f = MeasurementFrequencies[j];
        const double t0 = std::log10(static_cast<double>(table[0].frequency));
        const double t1 = std::log10(static_cast<double>(table[20].frequency));
        const double y0 = std::log10(static_cast<double>(table[0].module));
        const double y1 = std::log10(static_cast<double>(table[20].module));
        const double module = std::pow(10.0, y0 + (std::log10(f) - t0) * (y1 - y0) / (t1 - t0));
        const double phase = table[0].phase + (std::log10(f) - t0) * (table[20].phase - table[0].phase) / (t1 - t0);
        const double a = phase * 3.14159265358979323846 / 180.0;
        EXPECT_NEAR(ctrl->Configuration.Shunt[j], module * std::cos(a), 1e-4 * module) << j;
        EXPECT_NEAR(ctrl->Configuration.Shunt[15 + j], module * std::sin(a), 1e-4 * module) << j;
    }
}

TEST_F(AfeFixture, FullMemoryTakesNinetyBlocks)
{
    WriteRecord(memory, DefaultTable(), 8063);
    for (size_t i = 8064; i < memory.bytes.size(); ++i)
        memory.bytes[i] = 0x5A;
    ASSERT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), 0);
    ASSERT_EQ(memory.transfers.size(), 91u);
    EXPECT_EQ(memory.transfers[89].count, 90u);
    EXPECT_EQ(memory.transfers[90].count, 54u);
    EXPECT_EQ(std::memcmp(ctrl->AfeArea, memory.bytes.data(), 8064), 0);
}

TEST_F(AfeFixture, ErasedMemoryStopsAfterTheFirstBlockWithASizeError)
{
    const std::vector<float> before = ShuntBlock();
    ASSERT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), AfeSizeError);
    EXPECT_EQ(memory.transfers.size(), 2u);
    EXPECT_EQ(StatusTexts(), std::vector<std::string>{"ERROR: AFE Data Size Error."});
    // The area kept its zeros behind the first block; the shunt block is untouched.
    for (size_t i = 90; i < AfeAreaSize; ++i)
        ASSERT_EQ(ctrl->AfeArea[i], 0) << i;
    EXPECT_EQ(ShuntBlock(), before);
}

TEST_F(AfeFixture, ErasedBlockInTheMiddleLeavesTheRestOfTheArea)
{
    WriteRecord(memory, DefaultTable(), 1300);
    std::memset(memory.bytes.data() + 270, 0xFF, 4);
    std::memset(memory.bytes.data() + 180, 0xFF, 3); // three erased bytes do not stop the read
    std::memset(ctrl->AfeArea, 0xAB, AfeAreaSize);
    ReadAfeRecord(ctrl.get(), memory.Bus());
    EXPECT_EQ(memory.transfers.size(), 1u + 4u);
    EXPECT_EQ(std::memcmp(ctrl->AfeArea, memory.bytes.data(), 360), 0);
    for (size_t i = 360; i < AfeAreaSize; ++i)
        ASSERT_EQ(ctrl->AfeArea[i], 0xAB) << i;
}

TEST_F(AfeFixture, CrcCoversBytesUpToSizeMinusTwo)
{
    WriteRecord(memory, DefaultTable(), 1300);
    memory.bytes[1301] ^= 0x55; // behind the CRC: not covered
    EXPECT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), 0);

    memory.bytes[1298] ^= 0x01; // last covered byte
    const uint16_t stored = static_cast<uint16_t>(memory.bytes[1299] | (memory.bytes[1300] << 8));
    const std::vector<float> before = ShuntBlock();
    EXPECT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), AfeCrcOrInterpolationError);
    EXPECT_EQ(StatusTexts(), std::vector<std::string>{Printf("ERROR: AFE Data CRC failed, expected CRC value: 0x%04X.", stored)});
    EXPECT_EQ(ShuntBlock(), before);
}

TEST_F(AfeFixture, SizeFieldMustPlaceTheCrcBehindTheTableAndInsideTheArea)
{
    struct Case { uint16_t size; int32_t result; };
    for (const Case& c : {Case{0, AfeSizeError}, Case{1260, AfeSizeError}, Case{1261, 0}, Case{8063, 0},
                          Case{8064, AfeSizeError}, Case{0xFFFF, AfeSizeError}}) {
        FakeAfeMemory m;
        WriteRecord(m, DefaultTable(), c.size < 8064 ? c.size : 8000);
        PutU16(m.bytes.data() + 1000, c.size);
        if (c.size >= 1261 && c.size <= 8063)
            Reseal(m, c.size);
        hooks.calls.clear();
        EXPECT_EQ(ReadAfeRecord(ctrl.get(), m.Bus()), c.result) << c.size;
        if (c.result == AfeSizeError) {
            EXPECT_EQ(StatusTexts(), std::vector<std::string>{"ERROR: AFE Data Size Error."}) << c.size;
        }
    }
}

TEST_F(AfeFixture, DescriptionWithoutTerminatorIsCutTo999Characters)
{
    WriteRecord(memory, DefaultTable(), 1300);
    std::memset(memory.bytes.data(), 'D', 1000);
    Reseal(memory, 1300);
    ASSERT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), 0);
    EXPECT_EQ(AfeDescription(ctrl->AfeArea), std::string(999, 'D'));
}

TEST_F(AfeFixture, UnusableShuntTablesAreInterpolationErrors)
{
    const float inf = INFINITY, nan = NAN;
    struct Case { int point; int field; float value; };
    const Case cases[] = {
        {4, 1, 0.0f}, {4, 1, -3.0f}, {0, 0, 0.0f}, {0, 0, -10.0f}, {7, 0, nan}, {7, 1, inf},
        {12, 2, nan}, {20, 0, inf},
        {9, 0, 0.0f /* set below: equal to the previous frequency */},
        {9, 0, 1.0f /* below the previous frequency */},
    };
    for (size_t k = 0; k < std::size(cases); ++k) {
        std::vector<TablePoint> table = DefaultTable();
        float* field = &table[cases[k].point].frequency + cases[k].field;
        *field = cases[k].value;
        if (k == 8)
            table[9].frequency = table[8].frequency;
        FakeAfeMemory m;
        WriteRecord(m, table, 1300);
        hooks.calls.clear();
        const std::vector<float> before = ShuntBlock();
        EXPECT_EQ(ReadAfeRecord(ctrl.get(), m.Bus()), AfeCrcOrInterpolationError) << k;
        EXPECT_EQ(StatusTexts(), std::vector<std::string>{"ERROR: AFE Shunt Data Interpolate Error."}) << k;
        EXPECT_EQ(ShuntBlock(), before) << k;
    }
}

TEST_F(AfeFixture, MeasurementFrequencyZeroIsAnInterpolationError)
{
    WriteRecord(memory, DefaultTable(), 1300);
    ctrl->Frequencies[6] = 0.0f;
    EXPECT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), AfeCrcOrInterpolationError);
    EXPECT_EQ(StatusTexts(), std::vector<std::string>{"ERROR: AFE Shunt Data Interpolate Error."});

    float out[30];
    EXPECT_EQ(InterpolateShunt(memory.bytes.data(), out, ctrl->Frequencies), -2);
    ctrl->Frequencies[6] = -5.0f;
    EXPECT_EQ(InterpolateShunt(memory.bytes.data(), out, ctrl->Frequencies), -2);
    ctrl->Frequencies[6] = 1000.0f;
    EXPECT_EQ(InterpolateShunt(memory.bytes.data(), out, ctrl->Frequencies), 0);
}

TEST_F(AfeFixture, RefusedTransfersShowTheLibraryText)
{
    WriteRecord(memory, DefaultTable(), 1300);
    memory.failAtTransfer = 0;
    memory.failText = "ERROR: I2C Slave did not respond.";
    EXPECT_EQ(ReadAfeRecord(ctrl.get(), memory.Bus()), AfeAddressWriteFailed);
    EXPECT_EQ(memory.transfers.size(), 1u);
    EXPECT_EQ(StatusTexts(), std::vector<std::string>{"ERROR: I2C Slave did not respond."});

    FakeAfeMemory second;
    WriteRecord(second, DefaultTable(), 1300);
    second.failAtTransfer = 3;
    second.failText = "ERROR: Device did not respond to command.";
    hooks.calls.clear();
    EXPECT_EQ(ReadAfeRecord(ctrl.get(), second.Bus()), AfeBlockReadFailed);
    EXPECT_EQ(second.transfers.size(), 4u);
    EXPECT_EQ(StatusTexts(), std::vector<std::string>{"ERROR: Device did not respond to command."});
}

namespace {

FakeAfeMemory* LibraryMemory = nullptr;
std::vector<std::vector<uint32_t>> LibraryCalls;

char* FakeKalvixControl(uint32_t command, uint32_t param, uint32_t* record, uint8_t* data)
{
    LibraryCalls.push_back({command, param, record[0], record[1], record[2]});
    return const_cast<char*>(FakeAfeMemory::Transfer_(LibraryMemory, record[0], record[1], record[2], data));
}

} // namespace

TEST_F(AfeFixture, LibraryBusSendsCountSlaveAndWriteFlagWithCommand14)
{
    WriteRecord(memory, DefaultTable(), 1300);
    std::memset(memory.bytes.data() + 90, 0xFF, 4); // keep the real waits short: two blocks
    LibraryMemory = &memory;
    LibraryCalls.clear();
    KalvixControlProc control = FakeKalvixControl;
    EXPECT_EQ(ReadAfeRecord(ctrl.get(), LibraryI2cBus(&control)), AfeSizeError); // the size field was not read
    ASSERT_EQ(LibraryCalls.size(), 3u);
    EXPECT_EQ(LibraryCalls[0], (std::vector<uint32_t>{CMD_I2C_TRANSFER, 0, 2, 0x50, 1}));
    EXPECT_EQ(LibraryCalls[1], (std::vector<uint32_t>{CMD_I2C_TRANSFER, 0, 90, 0x50, 0}));
    EXPECT_EQ(LibraryCalls[2], (std::vector<uint32_t>{CMD_I2C_TRANSFER, 0, 90, 0x50, 0}));
    LibraryMemory = nullptr;
}

namespace {

struct VersionCase {
    const char* text;
    bool dropped;
};

} // namespace

TEST_F(AfeFixture, DeviceVersionLimitsAtTheirSinglePrecisionEdges)
{
    const VersionCase cases[] = {
        {"HW:v1.02 SW:v1.30 ", false},
        {"HW:v1.021 SW:v1.30 ", true},   // 1.021f lies above the double 1.021
        {"HW:v1.02 SW:v1.301 ", false},  // 1.301f lies below the double 1.301
        {"HW:v1.02 SW:v1.302 ", true},
        {"HW:v1.0 SW:v2.0", true},
        {"HW:v0.9\tSW:v1.1 ", false},
        {"Kalvix IS-15 HW:v1.10 SW:v1.00 ", true}, // the numbers follow their labels anywhere
        {"Kalvix IS-15 rev B", false},             // no pattern: nothing to refuse
        {"HW:vX.1 SW:v9.9 ", false},               // hardware unreadable: neither is read
        {"HW:v1.00 SX:v9.9 ", false},
        {"", false},
    };
    for (const VersionCase& c : cases) {
        hooks.calls.clear();
        std::memset(ctrl->DeviceIdentification, 0, sizeof ctrl->DeviceIdentification);
        std::strncpy(ctrl->DeviceIdentification, c.text, sizeof ctrl->DeviceIdentification - 1);
        CheckDeviceVersion(ctrl.get());
        if (c.dropped) {
            ASSERT_EQ(hooks.calls.size(), 2u) << c.text;
            EXPECT_EQ(hooks.calls[0].kind, "status");
            EXPECT_EQ(hooks.calls[0].text, "ERROR: Attached device is incompatible with version of this program!");
            EXPECT_EQ(hooks.calls[0].id, 0);
            EXPECT_EQ(hooks.calls[1].kind, "disconnect");
        } else {
            EXPECT_TRUE(hooks.calls.empty()) << c.text;
        }
    }

    const DeviceVersions read = ReadDeviceVersions("HW:v1.021 SW:v1.301 ", 74);
    EXPECT_EQ(read.HWVersionNr, 1.021f);
    EXPECT_EQ(read.SWVersionNr, 1.301f);
    // An identification without terminator is read only within its field.
    char unterminated[8] = {'H', 'W', ':', 'v', '2', '.', '0', '5'};
    EXPECT_EQ(ReadDeviceVersions(unterminated, sizeof unterminated).HWVersionNr, 2.05f);
}
