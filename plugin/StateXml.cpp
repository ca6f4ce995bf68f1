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
} // namespace

namespace stateXml
{
std::unique_ptr<juce::XmlElement> parse (const juce::String& text)
{
    if (text.contains ("<!DOCTYPE") || ! nestingIsShallow (text))
        return nullptr;

    return juce::parseXML (text);
}

std::unique_ptr<juce::XmlElement> fromBlob (const void* data, int sizeInBytes)
{
    constexpr juce::uint32 magic = 0x21324356; // "VC2!"

    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != magic)
        return nullptr;

    const auto length = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (length <= 0)
        return nullptr;

    const auto* text = static_cast<const char*> (data) + 8;
    return parse (juce::String::fromUTF8 (text, juce::jmin (sizeInBytes - 8, length)));
}
} // namespace stateXml
