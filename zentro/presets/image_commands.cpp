// Preset commands about frames: IMAGE (frame size and format from the image-format table) and
// SAVE_IMAGE (grab one frame and save it to numbered files).
#include <array>
#include <new>
#include <string>
#include <vector>

#include "presets/arguments.h"
#include "presets/commands.h"
#include "presets/result_files.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

struct ImageFormat {
    const char *name;
    uint32_t imageType;
    uint32_t bitsPerClock;
    uint32_t clocksPerPixel;
};

// Format names of presets, with the image type and the receiver's clocking of each.
constexpr std::array<ImageFormat, 46> kImageFormats = {{
    {"", 0, 0, 0},           {"BAYER-6", 30, 6, 1},
    {"BAYER-8", 1, 8, 1},    {"BAYER-10", 2, 10, 1},
    {"BAYER-8+2", 2, 8, 2},  {"BAYER-10IHDR", 26, 10, 1},
    {"BAYER-12", 12, 12, 1}, {"BAYER-8+4", 12, 8, 2},
    {"BAYER-14", 20, 14, 1}, {"BAYER-16", 28, 16, 1},
    {"BAYER-20", 23, 10, 2}, {"BAYER-16+4", 23, 16, 2},
    {"BAYER-24", 38, 12, 2}, {"BAYER-16+8", 38, 16, 2},
    {"BAYER-28", 39, 14, 2}, {"BAYER-STEREO", 16, 16, 1},
    {"YCBCR", 5, 8, 2},      {"YCBCR-16", 5, 16, 1},
    {"YCBCR-10", 29, 10, 2}, {"YCBCR-20", 29, 20, 1},
    {"YUV-420", 19, 8, 2},   {"YUV-420-P", 40, 8, 2},
    {"M420", 25, 8, 2},      {"Y400", 32, 8, 2},
    {"RGB-565", 6, 8, 2},    {"RGB-565-16", 6, 16, 1},
    {"RGB-555", 7, 8, 2},    {"RGB-555-16", 7, 16, 1},
    {"RGB-555L", 33, 8, 2},  {"RGB-555L-16", 33, 16, 1},
    {"RGB-555M", 34, 8, 2},  {"RGB-555M-16", 34, 16, 1},
    {"RGB-444X", 8, 8, 2},   {"RGB-444X-16", 8, 16, 1},
    {"RGB-X444", 9, 8, 2},   {"RGB-X444-16", 9, 16, 1},
    {"RGB-332", 24, 8, 1},   {"BGRG", 18, 8, 2},
    {"RGB-24", 10, 8, 3},    {"RGB-12+12", 11, 12, 2},
    {"RGB-32", 11, 8, 4},    {"RGB-48", 14, 16, 3},
    {"JPEG", 15, 8, 2},      {"JPEG-SPEEDTAGS", 27, 8, 2},
    {"JPEG-ROT", 31, 8, 2},  {"H264", 36, 8, 2},
}};

constexpr int kGrabAttempts = 5;
// Variable-size YUV formats: a short frame is complete.
constexpr uint32_t kVariableSizeTypes[] = {ZE_IMAGE_YUV420, ZE_IMAGE_M420, ZE_IMAGE_YUV420_P};

const ImageFormat *findFormat(std::string_view name)
{
    for (const ImageFormat &format : kImageFormats) {
        if (equalsNoCase(format.name, name))
            return &format;
    }
    return nullptr;
}

bool shortFrameIsComplete(uint32_t imageType)
{
    if (ze_IsJpegImageType(imageType))
        return true;
    for (uint32_t type : kVariableSizeTypes) {
        if (type == imageType)
            return true;
    }
    return false;
}

const char *failureSuffix(int result)
{
    switch (result) {
    case NOT_ENOUGH_DATA_ERROR:
        return " (not enough data for expected image size)";
    case EOF_MARKER_ERROR:
        return " (no end-of-frame)";
    default:
        return "";
    }
}

// Grabs one frame into @buffer; false (after the command's message) when none came.
bool grabForSaving(const SectionRun &run, std::vector<uint8_t> &buffer, bool debug)
{
    const uint32_t size = static_cast<uint32_t>(buffer.size());
    if (debug) {
        ze_grabFrame(run.camera, buffer.data(), size);
        return true;
    }
    const std::string failure = "Failed to capture an image in SAVE_IMAGE command";
    int result = CAMERA_ERROR;
    for (int attempt = 0; attempt < kGrabAttempts; ++attempt) {
        result = ze_grabFrame(run.camera, buffer.data(), size);
        if (result == CAMERA_SUCCESS)
            return true;
        if (result == GRAB_FRAME_ERROR) {
            reportError(run, (failure + " (no data from device)").c_str());
            return false;
        }
        if ((result == NOT_ENOUGH_DATA_ERROR || result == EOF_MARKER_ERROR) &&
            shortFrameIsComplete(run.camera->sensor->imageType))
            return true;
    }
    reportError(run, (failure + failureSuffix(result)).c_str());
    return false;
}

} // namespace

Flow imageCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 2) {
        reportError(run, "Error parsing IMAGE command");
        return Flow::Continue;
    }
    const std::optional<uint32_t> width = validNumber((*tokens)[0]);
    const std::optional<uint32_t> height = validNumber((*tokens)[1]);
    const ImageFormat *format = tokens->size() > 2 ? findFormat((*tokens)[2]) : &kImageFormats[0];
    if (!width || !height || !format) {
        reportError(run, "Invalid value in IMAGE command");
        return Flow::Continue;
    }
    if (!run.hasSensor())
        return Flow::Continue;
    const bool typeGiven = format != &kImageFormats[0];
    // The frame's byte count follows the image type, so the type is in place before the size
    // is recomputed, and stays the row's type afterwards.
    if (typeGiven)
        run.camera->sensor->imageType = format->imageType;
    ze_updateFrameSize(run.camera, *width, *height, format->bitsPerClock, format->clocksPerPixel);
    if (typeGiven)
        run.camera->sensor->imageType = format->imageType;
    return Flow::Continue;
}

Flow saveImageCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || !run.hasSensor())
        return Flow::Continue;
    bool debug = false;
    std::vector<std::string> names;
    for (const std::string &token : *tokens) {
        if (equalsNoCase(token, "debug"))
            debug = true;
        else if (!token.empty())
            names.push_back(token);
    }
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(run.camera->sensor->imageBytes, 0);
    } catch (const std::bad_alloc &) {
    }
    if (buffer.empty()) {
        reportError(run, "Couldn't allocate memory for SAVE_IMAGE");
        return Flow::Continue;
    }
    if (run.budget->framesGrabbed >= run.budget->limits.maxFrameGrabs) {
        reportError(run, "Too many frames grabbed by one preset");
        return Flow::Continue;
    }
    ++run.budget->framesGrabbed;
    if (!grabForSaving(run, buffer, debug))
        return Flow::Continue;
    ze_frame_info_t frame = {};
    size_t length = buffer.size();
    if (ze_getFrameData(run.camera, &frame) == CAMERA_SUCCESS && frame.imageBytesReturned != 0)
        length = std::min<size_t>(frame.imageBytesReturned, buffer.size());
    for (const std::string &name : names) {
        if (const std::optional<std::string> path = resultPath(run, name, "SAVE_IMAGE"))
            osal_saveImage(path->c_str(), buffer.data(), length);
    }
    return Flow::Continue;
}

} // namespace zentro::presets
