// The EEPROM tool on the simulated board: programming, the dialog, faults and repair.
#include <gtest/gtest.h>

#include "sim_board.h"
#include "tool_runner.h"

namespace {

using boardsim::testing::SimBoard;
using namespace tooltest;

constexpr const char *kTool = QRB_EEPROM_PATH;
const std::string kDefaultModule = "1421223012345";

ToolResult eeprom(const SimBoard &board, std::vector<std::string> args,
                  const std::string &input = "\n")
{
    args.insert(args.begin(), kTool);
    return runTool(args, board.directory(), input);
}

bool contains(const std::string &text, const std::string &needle)
{
    return text.find(needle) != std::string::npos;
}

std::string record(const std::string &board, const std::string &module)
{
    char lengths[2][3];
    std::snprintf(lengths[0], sizeof lengths[0], "%02zu", board.size());
    std::snprintf(lengths[1], sizeof lengths[1], "%02zu", module.size());
    return "QRBO2\xff"
           "1" +
           std::string(lengths[0]) + board +
           "\xff"
           "2" +
           std::string(lengths[1]) + module + "\xff\xc0\xa8\x37\x01";
}

std::string gpioRow(const SimBoard &board, unsigned line)
{
    const auto rows = linesWith(board.readFile("gpio.state"), std::to_string(line) + "\t");
    return rows.empty() ? "" : rows.front();
}

TEST(EepromTool, QuickRunProgramsReadsBackAndVerifiesTheRecord)
{
    SimBoard board;
    const auto r = eeprom(board, {"-y", "QRB2000777"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string wanted = record("QRB2000777", kDefaultModule);
    ASSERT_EQ(wanted.size(), 41u);
    EXPECT_EQ(board.readFile("eeprom.bin").substr(0, 42), wanted + "\xff");
    const std::string shown = wanted.substr(0, 37) + "192.168.55.1.";
    EXPECT_EQ(r.out, "QRB Serial Number: QRB2000777\nJetson Serial Number: 1421223012345\n"
                     "I2C device bus (-b option): 8\nI2C 7-bit address (-a option): 0x50\n\n"
                     "Data to program to EEPROM:\t" +
                         shown + "\nData read back from EEPROM:\t" + shown +
                         "\nPlease verify the EEPROM output and hit a key when the Red LED off: ");
    EXPECT_FALSE(contains(r.out, "Is this correct?"));
    // The LED was lit by the tool and is off again.
    const std::string led = gpioRow(board, 147);
    EXPECT_TRUE(led.rfind("147\t0\tout", 0) == 0) << led;
    EXPECT_TRUE(contains(led, "QRB Server")) << led;
    EXPECT_TRUE(contains(board.readFile("gpio.changes"), "147\t2\t"));
}

TEST(EepromTool, DialogAsksUntilYesAndTakesReenteredValues)
{
    SimBoard board;
    const std::string answers = "yes\nn\n8\n50\nABCDEFGHIJ\n"    // 50 is decimal: 0x32
                                "n\n8\n0x50zz\n"                 // trailing text: asked again
                                "n\n8\n0x50\nQRB2000555\ny\n\n"; // the values to program
    const auto r = eeprom(board, {"-y", "QRB200055"}, answers);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "You entered I2C bus: 8, address: 0x50, QRB String: QRB200055. Is "
                                "this correct? (y/n): Please answer 'y' or 'n'.\n"));
    EXPECT_TRUE(contains(r.out, "address: 0x32, QRB String: ABCDEFGHIJ."));
    EXPECT_TRUE(contains(r.out, "Please enter the correct i2c 7-bit address in Hexadecimal for -a: "
                                "Invaled input. Try again.\n"));
    EXPECT_TRUE(contains(r.out, "address: 0x50, QRB String: QRB2000555. Is this correct?"));
    EXPECT_EQ(board.readFile("eeprom.bin").substr(0, 41), record("QRB2000555", kDefaultModule));
}

TEST(EepromTool, EndOfInputAtTheQuestionStopsWithoutWriting)
{
    SimBoard board;
    const auto r = eeprom(board, {"QRB2000777"}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "fgets error!")) << r.err;
    EXPECT_EQ(board.readFile("eeprom.bin").substr(0, 41), record("QRB2000001", kDefaultModule));
}

TEST(EepromTool, UsageErrorsExitOneWithTheUsageLine)
{
    SimBoard board;
    const std::string usage =
        std::string("Usage: ") + kTool + " [-y] [-b i2c_bus] [-a i2c_address] <Serial Number>\n";
    auto r = eeprom(board, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: String argument is required\n" + usage);
    r = eeprom(board, {"-x", "QRB2000777"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, usage));
    r = eeprom(board, {"-a", "0x80", "QRB2000777"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Error: -a takes a 7-bit address, not '0x80'\n"));
    r = eeprom(board, {"-y", std::string(100, 'S')});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: the serial number must have 1 to 99 characters\n");
}

TEST(EepromTool, MissingBusOrDeviceIsAnError)
{
    SimBoard board;
    auto r = eeprom(board, {"-y", "-b", "9", "QRB2000777"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Failed to open the I2C bus\n");
    r = eeprom(board, {"-y", "-a", "0x51", "QRB2000777"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: no device answers at address 0x51 on /dev/i2c-8\n");
    EXPECT_EQ(board.readFile("eeprom.bin").substr(0, 41), record("QRB2000001", kDefaultModule));
}

TEST(EepromTool, FailedWriteLeavesNoValidRecordAndARerunRepairsIt)
{
    SimBoard board("eeprom_fail_at_byte = 20\n");
    auto r = eeprom(board, {"-y", "QRB2000777"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Error writing 1 bytes\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "did not take byte 19 (address 0x0013)")) << r.err;
    EXPECT_FALSE(contains(r.out, "Please verify"));
    const std::string cut = board.readFile("eeprom.bin");
    EXPECT_EQ(static_cast<uint8_t>(cut[0]), 0xFF) << "a cut record must not carry its title";
    EXPECT_EQ(cut.substr(1, 18), record("QRB2000777", kDefaultModule).substr(1, 18));

    board.writeFile("board.conf", "eeprom_fail_at_byte = never\n");
    r = eeprom(board, {"-y", "QRB2000777"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(board.readFile("eeprom.bin").substr(0, 41), record("QRB2000777", kDefaultModule));
}

TEST(EepromTool, CorruptedEepromWithoutModuleSerialGetsAShortRecord)
{
    SimBoard board("module_serial =\n");
    board.writeFile("eeprom.bin", std::string(4096, '\x5A'));
    const auto r = eeprom(board, {"-y", "ABCDE"}, "y\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Is this correct?")) << "a 5-character serial is confirmed";
    EXPECT_TRUE(contains(r.err, "Error opening /proc/device-tree/serial-number")) << r.err;
    const std::string wanted = record("ABCDE", "");
    ASSERT_EQ(wanted.size(), 23u);
    EXPECT_EQ(board.readFile("eeprom.bin").substr(0, 24), wanted + "\x5A");
    EXPECT_TRUE(contains(r.out, "Data read back from EEPROM:\t" + wanted.substr(0, 19) +
                                    "192.168.55.1.\n"));
}

} // namespace
