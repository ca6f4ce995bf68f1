#include "plugin/StateXml.h"

namespace stateXml
{
std::unique_ptr<juce::XmlElement> parse (const juce::String& text)
{
    if (text.contains ("<!DOCTYPE"))
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
