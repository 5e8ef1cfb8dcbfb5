// Helpers of the identification tests: candidate sensor-data files and a camera whose
// transport is the fake bus.
#ifndef ZENTRO_TESTS_IDENTIFY_IDENTIFY_TEST_SUPPORT_H
#define ZENTRO_TESTS_IDENTIFY_IDENTIFY_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/fake_bus.h"
#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {

// Type codes of a plain sensor and of a system-on-chip sensor.
inline constexpr uint32_t kPlainType = 201;
inline constexpr uint32_t kSocType = 16;
inline constexpr uint32_t kChipVersionAddr = 0x3000;
// Where an 8-bit-address sensor keeps its chip version.
inline constexpr uint32_t kNarrowChipVersionAddr = 0x00;
inline uint32_t chipVersionAddr(uint32_t addrBits)
{
    return addrBits == 8 ? kNarrowChipVersionAddr : kChipVersionAddr;
}

// A candidate sensor-data file.
struct Candidate {
    uint32_t type = kPlainType;
    uint32_t chipVersion = 0x1234;
    std::vector<uint32_t> bases = {0x20};
    uint32_t addrBits = 16;
    std::string optional = {};  // extra lines of the OPTIONAL section
    std::string registers = {}; // register lines after CHIP_VERSION_REG

    std::string text() const;
};

// A camera opened on the fake bus, the way a transport hands it to identification.
class IdentifyTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes @candidate as @name into the candidate directory.
    void add(const std::string &name, const Candidate &candidate);
    // A sensor device at @base answering @chipVersion at the chip-version register.
    FakeDevice &sensorAt(uint32_t base, uint32_t chipVersion, uint32_t addrBits = 16);
    int identify() { return _getSensor(camera, dir.path().c_str()); }
    // Transfers the bus saw at @base.
    size_t transfersAt(uint32_t base) const;
    // How many times the log holds @text.
    size_t logged(const std::string &text) const { return log.occurrences(text); }

    TempDir dir;
    TestCamera camera;
    FakeBus bus;
    FileLog log;
};

} // namespace zentro::test

#endif // ZENTRO_TESTS_IDENTIFY_IDENTIFY_TEST_SUPPORT_H
