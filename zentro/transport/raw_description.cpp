// Reads the "_info.txt" description that accompanies a raw recording.
#include "transport/raw_description.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "transport/unique_fd.h"
#include "zentro_frame.h"

namespace {

using zentro::RawDescription;

constexpr int kHighestImageType = ZE_IMAGE_YUV420_P;
constexpr uint32_t kStereoMode = 2;
constexpr double kMsPerSecond = 1000.0;
constexpr double kUsPerSecond = 1000000.0;

struct Token {
    std::string_view text;
    bool lineStart;
    size_t line; // from 1
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// Splits @text into whitespace-separated tokens; false when one is longer than allowed.
bool tokenize(std::string_view text, std::vector<Token> &tokens)
{
    bool lineStart = true;
    size_t line = 1;
    size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            if (text[i] == '\n') {
                lineStart = true;
                ++line;
            }
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (i - start > zentro::kRawTokenMaxChars)
            return false;
        tokens.push_back({text.substr(start, i - start), lineStart, line});
        lineStart = false;
    }
    return true;
}

bool tokenizeDescription(std::string_view text, std::vector<Token> &tokens, std::string &error)
{
    if (tokenize(text, tokens))
        return true;
    error = "Description has a word longer than " + std::to_string(zentro::kRawTokenMaxChars) +
            " characters";
    return false;
}

// The sensor's file names may appear past a "Windows" token, but not past the others.
bool endsSensorHeader(const Token &token)
{
    return (token.lineStart && token.text.front() == '[') || token.text == "FuseID:" ||
           token.text == "STATE=";
}

bool endsHeader(const Token &token)
{
    return endsSensorHeader(token) || token.text == "Windows";
}

enum class Parsed { kNumber, kNotANumber, kOutOfRange };

// Parses @token as an integer from 0 to @limit. A word that does not start with a number is
// not a value (comments use these keys as plain words too).
Parsed parseCount(std::string_view token, int64_t minimum, uint64_t limit, int64_t &value)
{
    const std::string text(token);
    errno = 0;
    char *end = nullptr;
    const long long parsed = strtoll(text.c_str(), &end, 0);
    if (end == text.c_str())
        return Parsed::kNotANumber;
    if (errno || parsed < minimum || (parsed > 0 && uint64_t(parsed) > limit))
        return Parsed::kOutOfRange;
    value = parsed;
    return Parsed::kNumber;
}

class HeaderReader
{
public:
    HeaderReader(const std::vector<Token> &tokens, size_t end, RawDescription &out,
                 std::string &error)
        : tokens_(tokens), end_(end), out_(out), error_(error)
    {
    }

    bool run()
    {
        for (pos_ = 0; pos_ < end_; ++pos_) {
            if (!readKey(tokens_[pos_].text))
                return false;
        }
        return true;
    }

private:
    // The token @skip places after the key, or nothing past the header.
    const std::string_view *valueAfter(size_t skip)
    {
        if (pos_ + skip + 1 >= end_)
            return nullptr;
        pos_ += skip + 1;
        return &tokens_[pos_].text;
    }

    bool fail(std::string message)
    {
        error_ = std::move(message);
        return false;
    }

    // Sets @field from the value after @skip words while it is still 0.
    bool takeCount(std::string_view key, size_t skip, uint64_t limit, uint32_t &field)
    {
        const std::string_view *value = valueAfter(skip);
        if (!value)
            return true;
        int64_t parsed = 0;
        const Parsed kind = parseCount(*value, 0, limit, parsed);
        if (kind == Parsed::kOutOfRange)
            return fail("Bad value `" + std::string(*value) + "` for " + std::string(key));
        if (kind == Parsed::kNumber && field == 0)
            field = uint32_t(parsed);
        return true;
    }

    bool takeContextKey(std::string_view token)
    {
        for (int i = 0; i < zentro::kRawMaxContexts; ++i) {
            const std::string suffix = std::to_string(i);
            if (equalsNoCase(token, "Width" + suffix))
                return takeCount(token, 1, zentro::kRawMaxDimension, out_.contextWidth[i]);
            if (equalsNoCase(token, "Height" + suffix))
                return takeCount(token, 1, zentro::kRawMaxDimension, out_.contextHeight[i]);
        }
        return true;
    }

    bool takeFrames()
    {
        const std::string_view *value = valueAfter(1);
        if (!value)
            return true;
        int64_t frames = 0;
        const Parsed kind = parseCount(*value, INT64_MIN, INT32_MAX, frames);
        if (kind == Parsed::kOutOfRange || (kind == Parsed::kNumber && frames < 1))
            return fail("Bad frame count `" + std::string(*value) + "`");
        if (kind == Parsed::kNumber && out_.frames == 0)
            out_.frames = int32_t(frames);
        return true;
    }

    bool takeRate()
    {
        const std::string_view *value = valueAfter(1);
        if (!value)
            return true;
        const std::string text(*value);
        char *end = nullptr;
        const double rate = strtod(text.c_str(), &end);
        if (end == text.c_str())
            return true;
        if (!std::isfinite(rate) || rate <= 0)
            return fail("Bad frame rate `" + text + "`");
        out_.frameMs = uint32_t(std::min(kMsPerSecond / rate, double(UINT32_MAX)));
        out_.frameUs = uint32_t(std::min(kUsPerSecond / rate, double(UINT32_MAX)));
        return true;
    }

    bool takeFormat()
    {
        const std::string_view *word = valueAfter(1);
        if (!word)
            return true;
        std::string name(*word);
        static constexpr const char *kTwoWordNames[] = {"Bayer",   "Bayer8", "Bayer10", "Bayer12",
                                                        "Bayer14", "YUV",    "Prog."};
        bool twoWords = false;
        for (const char *first : kTwoWordNames)
            twoWords = twoWords || equalsNoCase(name, first);
        if (twoWords && pos_ + 1 < end_) {
            name += ' ';
            name += tokens_[++pos_].text;
        } else if (equalsNoCase(name, "YCbCr") && pos_ + 1 < end_ &&
                   atoi(std::string(tokens_[pos_ + 1].text).c_str()) > 0) {
            name += ' ';
            name += tokens_[++pos_].text;
        }
        out_.imageType = zentro::rawImageTypeByName(name, out_.stereoMode);
        return true;
    }

    bool readKey(std::string_view token)
    {
        if (equalsNoCase(token, "Width"))
            return takeCount(token, 1, zentro::kRawMaxDimension, out_.width);
        if (equalsNoCase(token, "Height"))
            return takeCount(token, 1, zentro::kRawMaxDimension, out_.height);
        if (equalsNoCase(token, "Cycling"))
            return takeCount(token, 1, UINT32_MAX, out_.contexts);
        if (equalsNoCase(token, "Range"))
            return takeCount(token, 2, UINT32_MAX, out_.rangeSize);
        if (equalsNoCase(token, "Velo"))
            return takeCount(token, 2, UINT32_MAX, out_.velocitySize);
        if (equalsNoCase(token, "ULA"))
            return takeCount(token, 2, UINT32_MAX, out_.antennaArraySize);
        if (equalsNoCase(token, "Group"))
            return takeCount(token, 2, UINT32_MAX, out_.antennaGroupSize);
        if (equalsNoCase(token, "Top"))
            return takeCount(token, 3, UINT32_MAX, out_.top);
        if (equalsNoCase(token, "Bottom"))
            return takeCount(token, 3, UINT32_MAX, out_.bottom);
        if (equalsNoCase(token, "StatusStruct"))
            return takeCount(token, 1, zentro::kRawMaxDimension, out_.statusBytes);
        if (equalsNoCase(token, "output")) {
            out_.outputBits = 0;
            return takeCount(token, 1, 64, out_.outputBits);
        }
        if (equalsNoCase(token, "V210"))
            out_.v210 = 1;
        else if (equalsNoCase(token, "packed"))
            out_.packed = 1;
        else if (equalsNoCase(token, "Format"))
            return takeFormat();
        else if (equalsNoCase(token, "Frames"))
            return takeFrames();
        else if (equalsNoCase(token, "rate"))
            return takeRate();
        else
            return takeContextKey(token);
        return true;
    }

    const std::vector<Token> &tokens_;
    size_t end_;
    size_t pos_ = 0;
    RawDescription &out_;
    std::string &error_;
};

// "REG= A, B, C" lines from @from on.
void readRegisterLines(std::string_view text, size_t from, RawDescription &out)
{
    size_t lineStart = from;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        while (!line.empty() && isBlank(line.front()))
            line.remove_prefix(1);
        if (startsWithNoCase(line, "REG")) {
            const std::string copy(line.substr(3));
            unsigned a = 0, b = 0, c = 0;
            if (sscanf(copy.c_str(), " = %i , %i , %i", &a, &b, &c) == 3)
                out.registerLines.push_back({a, b, c});
        }
        lineStart = lineEnd + 1;
    }
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// What follows @token on its line of @text, blanks at both ends removed.
std::string_view restOfLine(std::string_view text, std::string_view token)
{
    const size_t from = size_t(token.data() - text.data()) + token.size();
    size_t end = text.find('\n', from);
    if (end == std::string_view::npos)
        end = text.size();
    return trimmed(text.substr(from, end - from));
}

// "Filename = NAME" lines of the header; NAME runs to the end of the line.
void readSensorFiles(std::string_view text, const std::vector<Token> &tokens,
                     zentro::RawRecordedSensor &out)
{
    bool attached = false;
    for (size_t i = 0; i < tokens.size() && !endsSensorHeader(tokens[i]); ++i) {
        const Token &token = tokens[i];
        if (token.lineStart)
            attached = false;
        if (equalsNoCase(token.text, "Attached"))
            attached = true;
        if (!equalsNoCase(token.text, "Filename") || i + 1 >= tokens.size() ||
            tokens[i + 1].line != token.line)
            continue;
        const std::string_view name = restOfLine(text, tokens[i + 1].text);
        if (!name.empty())
            out.files.push_back({std::string(name), attached});
    }
}

// The text after the value key that begins @token ("REG=0x10" gives "0x10"); nothing when
// the token begins with no value key.
std::optional<std::string_view> afterValueKey(std::string_view token)
{
    static constexpr std::string_view kKeys[] = {"REG=", "VAR8=", "VAR=", "VAR32="};
    for (std::string_view key : kKeys) {
        if (startsWithNoCase(token, key))
            return token.substr(key.size());
    }
    return std::nullopt;
}

// A value as registers are recorded: hexadecimal with "0x", else decimal.
std::optional<uint32_t> recordedNumber(std::string_view token)
{
    int base = 10;
    if (startsWithNoCase(token, "0x")) {
        token.remove_prefix(2);
        base = 16;
    }
    if (token.empty() || !isxdigit(static_cast<unsigned char>(token.front())))
        return std::nullopt;
    const std::string digits(token);
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = strtoull(digits.c_str(), &end, base);
    if (errno || *end != '\0' || value > UINT32_MAX)
        return std::nullopt;
    return uint32_t(value);
}

// Recorded register values: a value key, numbers (the last one is the value), then "//"
// and the register's name, all on one line. A line never lends its value to the next.
class RecordedValueReader
{
public:
    RecordedValueReader(const std::vector<Token> &tokens, zentro::RawRecordedSensor &out)
        : tokens_(tokens), out_(out)
    {
    }

    void run()
    {
        for (size_t i = 0; i < tokens_.size(); ++i) {
            const Token &token = tokens_[i];
            if (active_ && token.line != line_)
                active_ = false;
            // The comment may follow without a blank: "REG=0x3000,0x12//GAIN".
            const size_t comment = token.text.find("//");
            std::string_view words = token.text.substr(0, comment);
            if (const std::optional<std::string_view> rest = afterValueKey(words)) {
                start(token.line);
                words = *rest;
            }
            if (!active_)
                continue;
            takeNumbers(words);
            if (comment == std::string_view::npos)
                continue;
            std::string_view name = token.text.substr(comment + 2);
            if (name.empty() && i + 1 < tokens_.size() && tokens_[i + 1].line == line_)
                name = tokens_[++i].text;
            finish(name);
        }
    }

private:
    void start(size_t line)
    {
        active_ = true;
        line_ = line;
        value_.reset();
        badValue_.clear();
    }

    // A word may hold several numbers separated by commas ("0x3000,0x1A2B").
    void takeNumbers(std::string_view token)
    {
        while (!token.empty()) {
            const size_t comma = token.find_first_of(",;");
            takeNumber(token.substr(0, comma));
            token.remove_prefix(comma == std::string_view::npos ? token.size() : comma + 1);
        }
    }

    void takeNumber(std::string_view token)
    {
        if (token.empty() || !isdigit(static_cast<unsigned char>(token.front())))
            return;
        value_ = recordedNumber(token);
        if (!value_ && badValue_.empty())
            badValue_ = token;
    }

    void finish(std::string_view name)
    {
        active_ = false;
        if (name.empty())
            return;
        const std::string where = "Line " + std::to_string(line_) + ": ";
        if (!badValue_.empty())
            out_.problems.push_back(where + "`" + badValue_ + "` is not a value for `" +
                                    std::string(name) + "`");
        else if (!value_)
            out_.problems.push_back(where + "no value for `" + std::string(name) + "`");
        else
            out_.values.push_back({std::string(name), *value_, line_});
    }

    const std::vector<Token> &tokens_;
    zentro::RawRecordedSensor &out_;
    bool active_ = false;
    size_t line_ = 0;
    std::optional<uint32_t> value_;
    std::string badValue_;
};

// Maps codes that share a text with a more common code onto that code.
uint32_t canonicalImageType(uint32_t code)
{
    switch (code) {
    case ZE_IMAGE_BAYER8_ZOOM:
        return ZE_IMAGE_BAYER8;
    case ZE_IMAGE_BAYER10_ZOOM:
        return ZE_IMAGE_BAYER10;
    case ZE_IMAGE_BAYER12_ALT:
    case ZE_IMAGE_BAYER12_HIDY:
        return ZE_IMAGE_BAYER12;
    case ZE_IMAGE_BAYER14_HIDY:
        return ZE_IMAGE_BAYER14;
    case ZE_IMAGE_BAYER_S24:
        return ZE_IMAGE_BAYER24;
    default:
        return code;
    }
}

} // namespace

namespace zentro {

uint32_t rawImageTypeByName(const std::string &name, uint32_t &stereoMode)
{
    if (name == "Bayer 10+20" || name == "Bayer 10+24") {
        stereoMode = kStereoMode;
        return ZE_IMAGE_BAYER10;
    }
    char text[ZE_IMAGE_TYPE_STR_SIZE];
    for (int code = 1; code <= kHighestImageType; ++code) {
        if (ze_GetImageTypeStr(uint32_t(code), text) == 0 && equalsNoCase(name, text))
            return canonicalImageType(uint32_t(code));
    }
    return ZE_IMAGE_BAYER8;
}

std::string rawDescriptionPath(const std::string &rawPath)
{
    const size_t slash = rawPath.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = rawPath.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    return rawPath.substr(0, dot) + "_info.txt";
}

bool parseRawDescription(std::string_view text, RawDescription &out, std::string &error)
{
    out = RawDescription{};
    std::vector<Token> tokens;
    if (!tokenizeDescription(text, tokens, error))
        return false;
    size_t headerEnd = 0;
    while (headerEnd < tokens.size() && !endsHeader(tokens[headerEnd]))
        ++headerEnd;
    if (!HeaderReader(tokens, headerEnd, out, error).run())
        return false;
    if (out.contexts > uint32_t(kRawMaxContexts))
        out.contexts = kRawMaxContexts;
    const size_t registersFrom = headerEnd < tokens.size()
                                     ? size_t(tokens[headerEnd].text.data() - text.data())
                                     : text.size();
    readRegisterLines(text, registersFrom, out);
    return true;
}

bool parseRawRecordedSensor(std::string_view text, RawRecordedSensor &out, std::string &error)
{
    out = RawRecordedSensor{};
    std::vector<Token> tokens;
    if (!tokenizeDescription(text, tokens, error))
        return false;
    readSensorFiles(text, tokens, out);
    RecordedValueReader(tokens, out).run();
    return true;
}

bool readRawDescriptionFile(const std::string &path, std::string &text, std::string &error)
{
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    const int fd = file.get();
    if (fd < 0) {
        error = "Couldn't open description `" + path + "`: " + strerror(errno);
        return false;
    }
    struct stat info {
    };
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              uint64_t(info.st_size) <= kRawDescriptionMaxBytes;
    if (!ok) {
        error = "Description `" + path + "` is not a text file of at most " +
                std::to_string(kRawDescriptionMaxBytes) + " bytes";
    } else {
        text.resize(size_t(info.st_size));
        const ssize_t got = pread(fd, text.data(), text.size(), 0);
        ok = got == ssize_t(text.size());
        if (!ok)
            error = "Couldn't read description `" + path + "`";
    }
    return ok;
}

} // namespace zentro
