#pragma once

#include <juce_core/juce_core.h>

#include <memory>

/** Reading full-state XML that comes from outside: host blobs and preset files.

    Our own writer never emits a document type declaration, so one in the input
    means a damaged or hostile document. The framework's parser expands the
    entities such a declaration defines without any limit: an entity that
    refers to itself recurses until the stack overflows, a few nested ones
    grow exponentially, and an external one reads any file named in it. The
    parser, and every tree operation after it, also recurse once per level of
    element nesting, so a deeply nested document overflows the stack; it loops
    for ever on a processing instruction before text inside an element; and it
    reads past the end of damaged UTF-8. Such documents are refused before
    they reach the parser. */
namespace stateXml
{
/** The document element of `text`, or nullptr when it does not parse,
    carries a document type declaration or a processing instruction after the
    XML declaration, or nests elements absurdly deep. */
std::unique_ptr<juce::XmlElement> parse (const juce::String& text);

/** The XML of a host state blob ("VC2!", a 32-bit little-endian text length,
    the text, a zero byte), or nullptr when the header or the text is bad. The
    text is read at most up to the blob's end. */
std::unique_ptr<juce::XmlElement> fromBlob (const void* data, int sizeInBytes);

/** The XML of a file in UTF-8 (a byte order mark is allowed), or nullptr
    when it cannot be read, is not valid UTF-8 or its text is bad. */
std::unique_ptr<juce::XmlElement> fromFile (const juce::File& file);
} // namespace stateXml
