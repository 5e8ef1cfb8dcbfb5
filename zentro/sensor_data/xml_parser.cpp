// The XML parser behind the XML readers: libexpat fed block by block from a file.
#include "sensor_data/xml_parser.h"

#include <expat.h>

#include <cstdio>
#include <new>

#include "osal/handles.h"
#include "zentro_osal.h"

namespace zentro {

namespace {

// Bytes handed to the parser at a time.
constexpr int kBlockBytes = 64 * 1024;

XmlParser &parserOf(void *userData)
{
    return *static_cast<XmlParser *>(userData);
}

void startTrampoline(void *userData, const XML_Char *name, const XML_Char **attributes)
{
    parserOf(userData).onStart(name, attributes);
}

void endTrampoline(void *userData, const XML_Char *name)
{
    parserOf(userData).onEnd(name);
}

void textTrampoline(void *userData, const XML_Char *text, int length)
{
    parserOf(userData).onText(text, length);
}

} // namespace

void XmlParser::ParserFree::operator()(XML_ParserStruct *parser) const
{
    XML_ParserFree(parser);
}

XmlParser::XmlParser(XmlEventHandler &handler)
    : handler_(handler), parser_(XML_ParserCreate(nullptr))
{
    XML_Parser parser = parser_.get();
    if (!parser)
        return;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, startTrampoline, endTrampoline);
    XML_SetCharacterDataHandler(parser, textTrampoline);
    // Never fetch anything from outside the file: no external DTD subsets or parameter
    // entities, and no external-entity handler (expat then leaves such references alone).
    // The parser's amplification limits against entity expansion stay at their defaults.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlParser::~XmlParser() = default;

int XmlParser::currentLine() const
{
    return parser_ ? static_cast<int>(XML_GetCurrentLineNumber(parser_.get())) : 0;
}

void XmlParser::onStart(const char *name, const char **attributes)
{
    try {
        attributes_.clear();
        for (const char **pair = attributes; pair && pair[0]; pair += 2)
            attributes_.push_back({pair[0], pair[1]});
        if (handler_.startElement(name, attributes_)) {
            stopped_ = true;
            XML_StopParser(parser_.get(), XML_FALSE);
        }
    } catch (const std::bad_alloc &) {
        stopAfterException();
    }
}

void XmlParser::onEnd(const char *name)
{
    try {
        handler_.endElement(name);
    } catch (const std::bad_alloc &) {
        stopAfterException();
    }
}

void XmlParser::onText(const char *text, int length)
{
    try {
        handler_.characterData(std::string_view(text, static_cast<size_t>(length)));
    } catch (const std::bad_alloc &) {
        stopAfterException();
    }
}

void XmlParser::stopAfterException()
{
    reportError("out of memory");
    XML_StopParser(parser_.get(), XML_FALSE);
}

void XmlParser::reportError(std::string message)
{
    if (failed_)
        return;
    failed_ = true;
    XmlError error;
    error.message = std::move(message);
    error.code = static_cast<int>(XML_GetErrorCode(parser_.get()));
    error.line = static_cast<int>(XML_GetCurrentLineNumber(parser_.get()));
    error.column = static_cast<int>(XML_GetCurrentColumnNumber(parser_.get())) + 1;
    handler_.parseError(error);
}

void XmlParser::reportParserError()
{
    // A stop asked for by a handler ends the parse with the "aborted" code: not an error.
    if (stopped_ || failed_)
        return;
    reportError(XML_ErrorString(XML_GetErrorCode(parser_.get())));
}

XmlParser::Outcome XmlParser::outcome() const
{
    if (failed_)
        return Outcome::Failed;
    return stopped_ ? Outcome::Stopped : Outcome::Finished;
}

XmlParser::Outcome XmlParser::parseFile(const char *path)
{
    if (!parser_)
        return Outcome::CannotCreate;
    UniqueFile file(osal_fopen(path, "rb"));
    if (!file)
        return Outcome::CannotOpen;
    for (;;) {
        void *buffer = XML_GetBuffer(parser_.get(), kBlockBytes);
        if (!buffer) {
            reportParserError();
            return outcome();
        }
        const size_t got = fread(buffer, 1, kBlockBytes, file.get());
        if (ferror(file.get())) {
            reportError("unable to read the file");
            return outcome();
        }
        const bool final = got == 0;
        if (XML_ParseBuffer(parser_.get(), static_cast<int>(got), final) == XML_STATUS_ERROR) {
            reportParserError();
            return outcome();
        }
        if (final || stopped_ || failed_)
            return outcome();
    }
}

} // namespace zentro
