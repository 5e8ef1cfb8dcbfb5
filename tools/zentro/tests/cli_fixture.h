// Runs the real zentro program in a fresh folder of its own, as a user would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QJsonObject>
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace clitest {

class ZentroTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // zentro with @args, without a ZE_BOARD from the test's environment (unless @environment
    // names one: "NAME=VALUE" entries set for the run).
    tooltest::ToolResult zentro(const std::vector<std::string> &args,
                                const std::vector<std::string> &environment = {});
    // zentro --json with @args; the whole of stdout parsed as one JSON object.
    QJsonObject zentroJson(const std::vector<std::string> &args, int expectedStatus = 0);

    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    static std::string sample(const std::string &name);
    static std::string preset(const std::string &name);

    // Writes @name.raw and @name_info.txt: @frames frames of width x height samples of
    // @pixelBytes bytes, frame f sample i holding (f * 131 + i * 7) masked to @bits.
    std::string writeRecording(const std::string &name, uint32_t width, uint32_t height,
                               unsigned bits, uint32_t frames);
    static uint32_t recordedSample(uint32_t frame, uint32_t index, unsigned bits);

    std::string dir_;
};

std::string readFile(const std::string &path);
// Names of the entries of @folder (without "." and "..").
std::vector<std::string> folderEntries(const std::string &folder);

} // namespace clitest
