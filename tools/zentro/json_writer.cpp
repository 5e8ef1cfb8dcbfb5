// Streaming JSON output with string escaping and locale-independent numbers.
#include "json_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zcli {

std::string jsonQuote(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonWriter::separate()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasElement_.empty()) {
        if (hasElement_.back())
            text_ += ',';
        hasElement_.back() = true;
    }
}

void JsonWriter::raw(std::string_view text)
{
    separate();
    text_ += text;
}

void JsonWriter::open(char bracket)
{
    raw(std::string_view(&bracket, 1));
    hasElement_.push_back(false);
}

void JsonWriter::close(char bracket)
{
    hasElement_.pop_back();
    text_ += bracket;
}

JsonWriter &JsonWriter::beginObject()
{
    open('{');
    return *this;
}

JsonWriter &JsonWriter::endObject()
{
    close('}');
    return *this;
}

JsonWriter &JsonWriter::beginArray()
{
    open('[');
    return *this;
}

JsonWriter &JsonWriter::endArray()
{
    close(']');
    return *this;
}

JsonWriter &JsonWriter::key(std::string_view name)
{
    raw(jsonQuote(name));
    text_ += ':';
    afterKey_ = true;
    return *this;
}

JsonWriter &JsonWriter::value(std::string_view text)
{
    raw(jsonQuote(text));
    return *this;
}

JsonWriter &JsonWriter::value(uint64_t number)
{
    raw(std::to_string(number));
    return *this;
}

JsonWriter &JsonWriter::value(int64_t number)
{
    raw(std::to_string(number));
    return *this;
}

JsonWriter &JsonWriter::value(double number)
{
    if (!std::isfinite(number))
        return null();
    // The shortest of the usual precisions that reads back as the same number. "%g" follows
    // the C locale, which the client never changes: the point is always '.'.
    char text[40];
    for (const int digits : {15, 17}) {
        std::snprintf(text, sizeof text, "%.*g", digits, number);
        if (std::strtod(text, nullptr) == number)
            break;
    }
    raw(text);
    return *this;
}

JsonWriter &JsonWriter::value(bool flag)
{
    raw(flag ? "true" : "false");
    return *this;
}

JsonWriter &JsonWriter::null()
{
    raw("null");
    return *this;
}

} // namespace zcli
