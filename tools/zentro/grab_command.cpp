// The grab subcommand: frames from the camera into PNG, TIFF or a raw recording.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>

#include "cli_error.h"
#include "command.h"
#include "image_writers.h"
#include "interruption.h"
#include "library_log.h"

namespace zcli {
namespace {

constexpr OptionDefinition kGrabOptions[] = {
    {"count", 'n', true},
    {"output", 'o', true},
    {"format", 'f', true},
};
constexpr uint64_t kMaxFrames = 100000;
// The playback transport's register that holds the index of the frame last read.
constexpr uint32_t kPlaybackCurrentFrameReg = 2;

enum class Format { Png, Tiff, Raw };

Format parseFormat(const std::string &text)
{
    if (text == "png")
        return Format::Png;
    if (text == "tiff" || text == "tif")
        return Format::Tiff;
    if (text == "raw")
        return Format::Raw;
    usageError("grab: --format must be png, tiff or raw, not '" + text + "'");
}

void makeFolder(const std::string &folder)
{
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        operationFailed("cannot create the folder " + folder + ": " + std::strerror(errno));
    struct stat info {
    };
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        operationFailed(folder + " is not a folder");
}

std::string framePath(const std::string &folder, uint32_t index, const char *extension)
{
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%04u.%s", index, extension);
    return folder + name;
}

// The camera's number of the frame just grabbed: a recording's frame index, else the number
// the transport reports.
uint32_t frameNumber(CameraSession &session, const ze_frame_info_t &info)
{
    if (session.source() != CameraSource::Recording)
        return info.frameNumber;
    uint32_t index = 0;
    ze_readRegister(session.camera(), session.camera()->sensor->shipBaseAddr,
                    kPlaybackCurrentFrameReg, &index);
    return index;
}

struct GrabbedFrame {
    uint32_t number = 0;
    uint32_t bytes = 0;
};

int tryGrab(CameraSession &session, std::vector<uint8_t> &buffer, GrabbedFrame &frame)
{
    ze_camera_t *camera = session.camera();
    const int result = ze_grabFrame(camera, buffer.data(), static_cast<uint32_t>(buffer.size()));
    if (result != CAMERA_SUCCESS)
        return result;
    ze_frame_info_t info{};
    ze_getFrameData(camera, &info);
    const uint32_t returned = info.bytesReturned ? info.bytesReturned : info.imageBytesReturned;
    frame = {frameNumber(session, info),
             std::min<uint32_t>(returned, static_cast<uint32_t>(buffer.size()))};
    return CAMERA_SUCCESS;
}

GrabbedFrame grabOne(CameraSession &session, std::vector<uint8_t> &buffer, uint32_t index)
{
    GrabbedFrame frame;
    if (const int result = tryGrab(session, buffer, frame); result != CAMERA_SUCCESS)
        operationFailed(describeFailure("grab " + std::to_string(index) + " failed", result));
    return frame;
}

// A board's camera starts streaming only after its sensor has been through a reset, which
// also restores the sensor's register defaults. A first grab that finds no stream starts it
// that way, once, and says so.
GrabbedFrame grabFirst(CameraSession &session, std::vector<uint8_t> &buffer)
{
    if (session.source() != CameraSource::Board)
        return grabOne(session, buffer, 0);
    GrabbedFrame frame;
    if (tryGrab(session, buffer, frame) == CAMERA_SUCCESS)
        return frame;
    takeLibraryLog();
    std::fprintf(stderr, "zentro: the board's camera was not streaming: resetting its sensor "
                         "(registers back to their defaults) to start the capture\n");
    ze_camera_t *camera = session.camera();
    int result = ze_setMode(camera, ZE_SENSOR_RESET, 1);
    if (result == CAMERA_SUCCESS)
        result = ze_setMode(camera, ZE_SENSOR_RESET, 0);
    if (result == CAMERA_SUCCESS)
        result = ze_startTransport(camera);
    if (result != CAMERA_SUCCESS)
        operationFailed(describeFailure("cannot start the capture of the board", result));
    return grabOne(session, buffer, 0);
}

FrameImage imageOf(const ze_sensor_t &sensor, const std::vector<uint8_t> &buffer, uint32_t bytes)
{
    FrameImage image;
    image.bytes.assign(buffer.begin(), buffer.begin() + bytes);
    image.width = sensor.imageWidth;
    image.height = sensor.imageHeight;
    image.pixelBytes = sensor.pixelBytes;
    image.bits = sensor.bitsPerPixel;
    return image;
}

void reportFrame(Invocation &invocation, uint32_t index, const GrabbedFrame &frame,
                 const std::string &file)
{
    if (invocation.json()) {
        invocation.document()
            .beginObject()
            .field("index", index)
            .field("frameNumber", frame.number)
            .field("bytes", frame.bytes)
            .field("file", file)
            .endObject();
        return;
    }
    std::printf("%s: frame %u, %u bytes\n", file.c_str(), frame.number, frame.bytes);
    std::fflush(stdout);
}

void runGrab(Invocation &invocation)
{
    const ParsedArgs &args = invocation.args();
    const uint32_t count = parseUnsigned(args.value("count", "1"), "-n", kMaxFrames);
    if (count == 0)
        usageError("grab: -n must be at least 1");
    const Format format = parseFormat(args.value("format", "png"));
    const std::string folder = args.value("output", ".");
    CameraSession &session = invocation.session();
    const ze_sensor_t &sensor = session.sensor();
    if (format != Format::Raw) {
        if (const std::string refusal = greyscaleRefusal(sensor); !refusal.empty())
            operationFailed("cannot write images: " + refusal + " (use --format raw)");
    }
    if (sensor.imageBytes == 0)
        operationFailed("the sensor's frame size is not known");
    makeFolder(folder);
    session.start();
    std::vector<uint8_t> buffer(sensor.imageBytes);
    const std::string rawPath = folder + "/frames.raw";
    std::optional<RawRecording> recording;
    if (format == Format::Raw)
        recording.emplace(rawPath, sensor);
    if (invocation.json())
        invocation.document().beginObject().key("frames").beginArray();
    for (uint32_t index = 0; index < count; ++index) {
        GrabbedFrame frame;
        try {
            stopIfInterrupted("grab");
            frame = index == 0 ? grabFirst(session, buffer) : grabOne(session, buffer, index);
        } catch (const CliError &) {
            // The frames recorded so far stay usable: the recording is described and kept.
            if (recording && recording->frames() > 0)
                recording->finish();
            throw;
        }
        std::string file = rawPath;
        if (format == Format::Raw) {
            recording->append(buffer.data(), frame.bytes);
        } else {
            file = framePath(folder, index, format == Format::Png ? "png" : "tiff");
            const FrameImage image = imageOf(sensor, buffer, frame.bytes);
            format == Format::Png ? writePng(image, file) : writeTiff(image, file);
        }
        reportFrame(invocation, index, frame, file);
    }
    if (recording) {
        recording->finish();
        if (!invocation.json())
            std::printf("%s: %lu frames, described in %s\n", rawPath.c_str(), recording->frames(),
                        RawRecording::infoPath(rawPath).c_str());
    }
    if (invocation.json()) {
        invocation.document().endArray().key("recording");
        recording ? invocation.document().value(rawPath) : invocation.document().null();
        invocation.document().endObject();
    }
}

} // namespace

const Command grabCommand = {
    "grab",
    "[-n N] [-o DIR] [--format png|tiff|raw]",
    "grab frames into image files or a raw recording",
    "Grabs N frames (default 1) into DIR (default: the current folder, created when missing).\n"
    "--count, -n N     frames to grab\n"
    "--output, -o DIR  folder for the files\n"
    "--format, -f F    png (default): frame_NNNN.png, 8-bit grey for 8-bit frames, else\n"
    "                  16-bit grey scaled to 16 bits with an sBIT chunk of the bit depth;\n"
    "                  tiff: frame_NNNN.tiff, 8- or 16-bit grey with the sensor's values\n"
    "                  unscaled; raw: every frame into frames.raw, described in\n"
    "                  frames_info.txt, which `zentro --recording DIR/frames.raw` plays back\n"
    "Each file is written under a temporary name and renamed when complete.\n"
    "\n"
    "Example: zentro --board 192.168.55.1 grab -n 5 -o shots --format tiff\n",
    kGrabOptions,
    0,
    0,
    runGrab,
};

} // namespace zcli
