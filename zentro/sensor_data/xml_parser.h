// An event-driven XML 1.0 parser for the library's XML readers: a thin owner of a libexpat
// parser that feeds it a file block by block and hands its events to a handler.
#ifndef ZENTRO_SENSOR_DATA_XML_PARSER_H
#define ZENTRO_SENSOR_DATA_XML_PARSER_H

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct XML_ParserStruct; // libexpat's parser

namespace zentro {

// One attribute of a start tag, as written (the value with entities resolved).
struct XmlAttribute {
    std::string_view name;
    std::string_view value;
};

// What the parser says about malformed input.
struct XmlError {
    std::string message;
    int code = 0;
    int line = 0;
    int column = 0; // from 1
};

// Receives the events of one parse. The texts handed over live only for the call.
class XmlEventHandler
{
public:
    virtual ~XmlEventHandler() = default;
    // Start of an element with its attributes in document order; true stops the parse.
    virtual bool startElement(std::string_view name, std::span<const XmlAttribute> attributes) = 0;
    virtual void endElement(std::string_view name) = 0;
    // Text of an element in pieces as they come (one text may arrive in several pieces).
    virtual void characterData(std::string_view piece) = 0;
    // The input is not well-formed XML (or could not be read); the parse ends.
    virtual void parseError(const XmlError &error) = 0;
};

class XmlParser
{
public:
    enum class Outcome {
        Finished,     // the whole file was read
        Stopped,      // a start handler stopped the parse
        Failed,       // parseError was called
        CannotOpen,   // the file does not open
        CannotCreate, // no parser could be created
    };

    explicit XmlParser(XmlEventHandler &handler);
    ~XmlParser();
    XmlParser(const XmlParser &) = delete;
    XmlParser &operator=(const XmlParser &) = delete;

    // Parses the file @path to its end or until a handler stops it.
    Outcome parseFile(const char *path);
    // Line (from 1) of the event being handled.
    int currentLine() const;

    // Parser callbacks; public for the C trampolines only.
    void onStart(const char *name, const char **attributes);
    void onEnd(const char *name);
    void onText(const char *text, int length);

private:
    struct ParserFree {
        void operator()(XML_ParserStruct *parser) const;
    };

    Outcome outcome() const;
    void reportParserError();
    void reportError(std::string message);
    // A handler threw: the parse ends, reported as failed.
    void stopAfterException();

    XmlEventHandler &handler_;
    std::unique_ptr<XML_ParserStruct, ParserFree> parser_;
    std::vector<XmlAttribute> attributes_;
    bool stopped_ = false;
    bool failed_ = false;
};

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_XML_PARSER_H
