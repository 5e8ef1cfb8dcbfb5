// Register layout and defaults of the simulated sensor from an XML sensor-data file.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <expat.h>
#include <memory>
#include <string>

#include "sensor_data_defaults.h"

namespace boardsim {
namespace {

struct ParserDeleter {
    void operator()(XML_ParserStruct *parser) const { XML_ParserFree(parser); }
};
using Parser = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

// An attribute's text, or fallback when the element lacks it.
std::string attribute(const XML_Char **attributes, const char *name, const char *fallback = "")
{
    for (size_t i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2)
        if (std::strcmp(attributes[i], name) == 0)
            return attributes[i + 1];
    return fallback;
}

// A C integer literal; fallback when the text is not one.
long long number(const std::string &text, long long fallback = -1)
{
    errno = 0;
    char *end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end != text.c_str() && *end == '\0' ? n : fallback;
}

void XMLCALL startElement(void *context, const XML_Char *element, const XML_Char **attributes)
{
    auto &layout = *static_cast<SensorLayoutBuilder *>(context);
    if (std::strcmp(element, "sensor") == 0) {
        layout.setAddressSize(number(attribute(attributes, "reg_addr_size")));
        layout.setDataSize(number(attribute(attributes, "reg_data_size")));
    } else if (std::strcmp(element, "space") == 0) {
        layout.addSpace(attribute(attributes, "name"), attribute(attributes, "type", "REG"),
                        number(attribute(attributes, "value"), 0));
    } else if (std::strcmp(element, "reg") == 0) {
        const long long address = number(attribute(attributes, "addr"));
        const long long value = number(attribute(attributes, "default", "0"));
        if (address >= 0 && value >= 0)
            layout.addRegister(attribute(attributes, "name"), address,
                               attribute(attributes, "space"),
                               number(attribute(attributes, "span", "1")),
                               attribute(attributes, "rw", "RW"), value);
    }
}

} // namespace

SensorDefaults parseSensorDefaultsXml(const std::string &contents)
{
    SensorLayoutBuilder layout;
    Parser parser(XML_ParserCreate(nullptr));
    if (!parser)
        return layout.finish();
    XML_SetUserData(parser.get(), &layout);
    XML_SetStartElementHandler(parser.get(), startElement);
    // A malformed document keeps what was read before the fault, as the text reader skips
    // what it cannot read.
    XML_Parse(parser.get(), contents.data(), static_cast<int>(contents.size()), XML_TRUE);
    return layout.finish();
}

} // namespace boardsim
