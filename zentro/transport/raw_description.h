// The "_info.txt" description of a raw recording: geometry, format, frame count and rate.
#ifndef ZENTRO_TRANSPORT_RAW_DESCRIPTION_H
#define ZENTRO_TRANSPORT_RAW_DESCRIPTION_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentro {

inline constexpr int kRawMaxContexts = 4;
// Descriptions are a few hundred bytes; anything far larger is not one.
inline constexpr size_t kRawDescriptionMaxBytes = 1 << 20;
// Longest token kept; a longer one makes the description invalid.
inline constexpr size_t kRawTokenMaxChars = 299;
// Largest width or height a description may give: keeps every size computed from them in range.
inline constexpr uint32_t kRawMaxDimension = 65536;

// A "REG= A, B, C" line after the header.
struct RawRegisterLine {
    uint32_t space;
    uint32_t address;
    uint32_t value;
};

struct RawDescription {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t contexts = 0;
    uint32_t contextWidth[kRawMaxContexts] = {};
    uint32_t contextHeight[kRawMaxContexts] = {};
    uint32_t rangeSize = 0;
    uint32_t velocitySize = 0;
    uint32_t antennaArraySize = 0;
    uint32_t antennaGroupSize = 0;
    uint32_t top = 0;
    uint32_t bottom = 0;
    uint32_t statusBytes = 0;
    uint32_t imageType = 0; // 0: the description names none
    uint32_t stereoMode = 0;
    uint32_t outputBits = 0;
    uint32_t v210 = 0;
    uint32_t packed = 0;
    int32_t frames = 0;
    uint32_t frameMs = 0; // 0: no rate given
    uint32_t frameUs = 0;
    std::vector<RawRegisterLine> registerLines;
};

// A "Filename" line of the header: the data file of the sensor the recording was made with.
struct RawSensorFileLine {
    std::string name;
    bool attached; // the line names a device attached to that sensor ("Attached ... Filename")
};

// A recorded register value: "REG= 0x3012, 0x0100 // NAME" (or VAR8=, VAR=, VAR32=).
struct RawRecordedValue {
    std::string name;
    uint32_t value;
    size_t line;
};

struct RawRecordedSensor {
    std::vector<RawSensorFileLine> files;
    std::vector<RawRecordedValue> values;
    // Lines that name a register but whose value cannot be read, with the reason.
    std::vector<std::string> problems;
};

// Reads @text into @out. False with @error set when it is not a usable description (a token
// too long, a size out of range, "Frames" below 1).
bool parseRawDescription(std::string_view text, RawDescription &out, std::string &error);

// Reads the recorded sensor's file names and register values from the description @text.
// False with @error set when the text is not a usable description.
bool parseRawRecordedSensor(std::string_view text, RawRecordedSensor &out, std::string &error);

// Reads the file @path (at most kRawDescriptionMaxBytes) into @text. False with @error set.
bool readRawDescriptionFile(const std::string &path, std::string &text, std::string &error);

// The image-type code of a format name as descriptions write it ("Bayer 12", "YUV 4:2:0");
// sets @stereoMode to 2 for the two stereo Bayer formats. 1 for an unknown name.
uint32_t rawImageTypeByName(const std::string &name, uint32_t &stereoMode);

// The description's path for the recording @rawPath: its extension replaced by "_info.txt".
// Empty when the last path component has no extension.
std::string rawDescriptionPath(const std::string &rawPath);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_RAW_DESCRIPTION_H
