// Serial-bus commands, IF_SERIAL and the polls, on the recording fake bus.
#include <chrono>
#include <string>

#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

constexpr uint32_t kDevice = 0x42;

std::vector<Transfer> transfersTo(const FakeBus &bus, uint32_t where, TransferKind kind)
{
    std::vector<Transfer> found;
    for (const Transfer &transfer : bus.transfers(kind)) {
        if (transfer.where == where)
            found.push_back(transfer);
    }
    return found;
}

TEST_F(BusPresetTest, SerialRegWritesAnyDeviceWithTheSizesGiven)
{
    FakeDevice &device = bus.addDevice(kDevice, 16, 8);
    run("[Test]\nSERIAL_REG = 0x42, 0x1234, 0x56, 16:8\nI2C_REG = 0x42, 0x10, 0x0708\n");
    EXPECT_EQ(device.get(0x1234), 0x56u);
    const std::vector<Transfer> writes = transfersTo(bus, kDevice, TransferKind::Write);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].addrSize, 16u);
    EXPECT_EQ(writes[0].dataSize, 8u);
    EXPECT_EQ(writes[1].addrSize, 8u);
    EXPECT_EQ(writes[1].dataSize, 16u);
    EXPECT_EQ(writes[1].dataLE, 0u);
    run("[Test]\nSERIAL_REG = 0x42, 0x10\n");
    EXPECT_TRUE(log.contains("Error parsing SERIAL_REG command"));
}

TEST_F(BusPresetTest, SerialBitfieldModifiesOnlyItsMaskAndSkipsAbsentDevices)
{
    FakeDevice &device = bus.addDevice(kDevice, 8, 16);
    device.set(0x10, 0xF00F);
    run("[Test]\nSERIAL_BITFIELD = 0x42, 0x10, 0x00F0, 0x5\n");
    EXPECT_EQ(device.get(0x10), 0xF05Fu);
    run("[Test]\nSERIAL_BITFIELD = 0x44, 0x10, 0x00F0, 0x5\n");
    EXPECT_TRUE(transfersTo(bus, 0x44, TransferKind::Write).empty());
    EXPECT_TRUE(log.lines().empty());
    run("[Test]\nSERIAL_BITFIELD = 0x42, 0x10, 0, 1\nSERIAL_BITFIELD = 0x42, 0x10, 1\n");
    EXPECT_TRUE(log.contains("Mask = 0 in SERIAL_BITFIELD command"));
    EXPECT_TRUE(log.contains("Error parsing SERIAL_BITFIELD command"));
}

TEST_F(BusPresetTest, SerialBurstSendsUpTo256BytesFromAddressZero)
{
    bus.addDevice(kDevice, 8, 8);
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes += ", 0x1" + std::to_string(i % 10) + "F";
    run("[Test]\nSERIAL_BURST = 0x42" + bytes + "\n");
    const std::vector<Transfer> writes = transfersTo(bus, kDevice, TransferKind::WriteMany);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].count, 256u);
    EXPECT_EQ(writes[0].values[1], 0x1Fu); // 0x11F cut to a byte
    EXPECT_EQ(writes[0].addrSize, 0u);
    EXPECT_EQ(writes[0].dataSize, 8u);
    run("[Test]\nSERIAL_BURST = 0x42\nSERIAL_BURST = 0x42,\n");
    EXPECT_EQ(log.messages().size(), 2u);
    EXPECT_TRUE(log.contains("Need at least one byte of data in SERIAL_BURST command"));
}

TEST_F(BusPresetTest, IfSerialBranchesOnAnyDeviceAndTreatsAbsentOnesAsDifferent)
{
    FakeDevice &device = bus.addDevice(kDevice, 16, 8);
    device.set(0x0100, 0x35);
    const std::string sections = "[Then]\nREG = 0, 0x30, 1\n[Else]\nREG = 0, 0x30, 2\n";
    run("[Test]\nIF_SERIAL = 0x42, 0x0100, 0xF0, 16:8, ==3, LOAD=Then, ELSELOAD=Else\n" + sections);
    EXPECT_EQ(sensor->get(0x30, 0), 1u);
    const std::vector<Transfer> reads = transfersTo(bus, kDevice, TransferKind::Read);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].addrSize, 16u);
    EXPECT_EQ(reads[0].dataSize, 8u);

    run("[Test]\nIF_SERIAL = 0x60, 0x00, 0xFF, !=0, LOAD=Then, ELSELOAD=Else\n" + sections);
    EXPECT_EQ(sensor->get(0x30, 0), 1u);
    EXPECT_TRUE(log.contains("Couldn't read the register for IF_SERIAL command"));
    run("[Test]\nIF_SERIAL = 0x60, 0x00, 0xFF, ==0, LOAD=Then, ELSELOAD=Else\n" + sections);
    EXPECT_EQ(sensor->get(0x30, 0), 2u);
    run("[Test]\nIF_SERIAL = 0x60, 0x00, 0xFF, LOAD=Then\n");
    EXPECT_TRUE(log.contains("Error parsing IF_SERIAL command"));
}

TEST_F(BusPresetTest, PollRegWaitsWhileTheConditionHolds)
{
    sensor->script(0x30, {0x0004, 0x0004, 0x0000});
    run("[Test]\nPOLL_REG = 0x30, 0x0004, !=0, DELAY=1, TIMEOUT=100\n");
    size_t reads = 0;
    for (const Transfer &transfer : bus.transfers())
        reads += transfer.isRead() && transfer.addr == 0x30;
    EXPECT_EQ(reads, 3u);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(BusPresetTest, PollRegTimesOutAfterTimeoutSleeps)
{
    sensor->set(0x30, 0x0004);
    const auto start = std::chrono::steady_clock::now();
    run("[Test]\nPOLL_REG = 0, 0x30, 0x0004, !=0, TIMEOUT=5, DELAY=10\nREG = 0, 0x04, 0x0099\n");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].code, INI_POLLREG_TIMEOUT);
    EXPECT_EQ(sensor->get(0x04, 0), 0x0099u); // the section went on
    log.clear();
    // Without a TIMEOUT a poll does not wait at all.
    run("[Test]\nPOLL_REG = 0x30, 0x0004, !=0\n");
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(BusPresetTest, PollFieldReadsByNameAndChecksItsClauses)
{
    sensor->script(0x30, {0x0004, 0x0000});
    run("[Test]\nPOLL_FIELD = STATUS, BUSY == 1, DELAY=1, TIMEOUT=10\n");
    EXPECT_TRUE(log.lines().empty());
    run("[Test]\nPOLL_FIELD = STATUS, BUSY == 1, DELAY=x\nPOLL_FIELD = STATUS == z\n"
        "POLL_FIELD = NOPE == 1\nPOLL_FIELD = STATUS\n");
    EXPECT_TRUE(log.contains("Error parsing POLL_FIELD, invalid value"));
    EXPECT_TRUE(log.contains("Error parsing POLL_FIELD condition value"));
    EXPECT_TRUE(log.contains("Error evaluating POLL_FIELD condition"));
    EXPECT_TRUE(log.contains("Error parsing POLL_FIELD command"));
}

TEST_F(BusPresetTest, PollWaitsAreBoundedByThePresetLimits)
{
    sensor->set(0x30, 0x0004);
    ScopedPresetLimits limits({.maxWaitMs = 0, .maxPolls = 3});
    const auto start = std::chrono::steady_clock::now();
    run("[Test]\nPOLL_REG = 0x30, 0x0004, !=0, DELAY=100000, TIMEOUT=4000000000\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].code, INI_POLLREG_TIMEOUT);
}

TEST_F(BusPresetTest, PollVarOfAnUnknownVariableReadsZeroWithoutComplaint)
{
    run("[Test]\nPOLL_VAR = 1, 2, 3\nPOLL_VAR = 1, 2, 0xFF, ==1, TIMEOUT=1\n");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.contains("Error parsing POLL_VAR command: POLL_VAR=1, 2, 3"));
}

} // namespace
} // namespace zentro::test
