// A small streaming JSON writer for the client's one-document-per-command output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zcli {

class JsonWriter
{
public:
    JsonWriter &beginObject();
    JsonWriter &endObject();
    JsonWriter &beginArray();
    JsonWriter &endArray();
    // Names the next value of the enclosing object.
    JsonWriter &key(std::string_view name);

    JsonWriter &value(std::string_view text);
    JsonWriter &value(const char *text) { return value(std::string_view(text ? text : "")); }
    JsonWriter &value(const std::string &text) { return value(std::string_view(text)); }
    JsonWriter &value(uint64_t number);
    JsonWriter &value(uint32_t number) { return value(static_cast<uint64_t>(number)); }
    JsonWriter &value(int64_t number);
    JsonWriter &value(int number) { return value(static_cast<int64_t>(number)); }
    JsonWriter &value(double number);
    JsonWriter &value(bool flag);
    JsonWriter &null();

    // key(name).value(v) in one call.
    template <class T>
    JsonWriter &field(std::string_view name, const T &v)
    {
        key(name);
        return value(v);
    }

    const std::string &text() const { return text_; }

private:
    void separate();
    void raw(std::string_view text);
    void open(char bracket);
    void close(char bracket);

    std::string text_;
    // Per open container: whether it already holds an element.
    std::vector<bool> hasElement_;
    bool afterKey_ = false;
};

// The JSON string literal of @text (quotes included).
std::string jsonQuote(std::string_view text);

} // namespace zcli
