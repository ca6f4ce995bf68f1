#include "plugin/StateXml.h"

namespace
{
// Our trees are two levels deep; anything near this is damaged or hostile.
constexpr int maxNesting = 64;

/** Skips past `terminator`; false when the text ends first. */
bool skipPast (juce::String::CharPointerType& p, const char* terminator)
{
    const auto at = p.indexOf (juce::CharPointer_ASCII (terminator));

    if (at < 0)
        return false;

    p += at + (int) std::strlen (terminator);
    return true;
}

/** True when no element lies deeper than maxNesting. Comments, CDATA and
    quoted attribute values are skipped, so markup hidden in them is not
    counted and cannot hide real nesting either. */
bool nestingIsShallow (const juce::String& text)
{
    int depth = 0;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        if (p.getAndAdvance() != '<')
            continue;

        if (p.compareUpTo (juce::CharPointer_ASCII ("!--"), 3) == 0)
        {
            if (! skipPast (p, "-->"))
                return true;
        }
        else if (p.compareUpTo (juce::CharPointer_ASCII ("![CDATA["), 8) == 0)
        {
            if (! skipPast (p, "]]>"))
                return true;
        }
        else if (*p == '/')
        {
            --depth;
        }
        else if (*p != '?' && *p != '!')
        {
            if (++depth > maxNesting)
                return false;

            juce::juce_wchar quote = 0, previous = 0;

            while (! p.isEmpty())
            {
                const auto c = p.getAndAdvance();

                if (quote != 0)
                {
                    if (c == quote)
                        quote = 0;
                }
                else if (c == '"' || c == '\'')
                {
                    quote = c;
                }
                else if (c == '>')
                {
                    if (previous == '/')
                        --depth;
                    break;
                }
                previous = c;
            }
        }
    }
    return true;
}

/** True when "<?" occurs anywhere but at the start, where the XML declaration
    goes. The framework's parser loops for ever on a processing instruction
    followed by text inside an element ("<a><?x?>b</a>"); we never write one. */
bool hasInnerProcessingInstruction (const juce::String& text)
{
    const auto start = text.trimStart();
    return start.indexOf (start.startsWith ("<?") ? 2 : 0, "<?") >= 0;
}

/** XML from at most numBytes bytes of UTF-8, up to the first zero byte. The
    framework's string and XML code step over a multi-byte sequence by what
    its lead byte claims, so damaged UTF-8 made them read past the end of the
    text: such bytes are refused. */
std::unique_ptr<juce::XmlElement> parseUtf8 (const char* data, size_t numBytes)
{
    if (numBytes == 0)
        return nullptr;

    const auto* zero = static_cast<const char*> (std::memchr (data, 0, numBytes));
    const auto length = zero != nullptr ? (size_t) (zero - data) : numBytes;

    if (length > (size_t) std::numeric_limits<int>::max()
        || ! juce::CharPointer_UTF8::isValidString (data, (int) length))
        return nullptr;

    return stateXml::parse (juce::String::fromUTF8 (data, (int) length));
}
} // namespace

namespace stateXml
{
std::unique_ptr<juce::XmlElement> parse (const juce::String& text)
{
    if (text.contains ("<!DOCTYPE") || hasInnerProcessingInstruction (text) || ! nestingIsShallow (text))
        return nullptr;

    // The framework's parser steps one character past an entity cut off by the
    // end of the text ("&#x1F" and nothing after it), reading beyond the text.
    // Trailing white space, which XML ignores, keeps that step inside it.
    return juce::parseXML (text + "    ");
}

std::unique_ptr<juce::XmlElement> fromBlob (const void* data, int sizeInBytes)
{
    constexpr juce::uint32 magic = 0x21324356; // "VC2!"

    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != magic)
        return nullptr;

    const auto length = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (length <= 0)
        return nullptr;

    return parseUtf8 (static_cast<const char*> (data) + 8, (size_t) juce::jmin (sizeInBytes - 8, length));
}

std::unique_ptr<juce::XmlElement> fromFile (const juce::File& file)
{
    juce::MemoryBlock data;

    if (! file.loadFileAsData (data))
        return nullptr;

    const auto* bytes = static_cast<const char*> (data.getData());
    auto size = data.getSize();

    if (size >= 3 && std::memcmp (bytes, "\xef\xbb\xbf", 3) == 0)
    {
        bytes += 3;
        size -= 3;
    }

    return parseUtf8 (bytes, size);
}
} // namespace stateXml
