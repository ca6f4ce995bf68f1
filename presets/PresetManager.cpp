#include "presets/PresetManager.h"

#include "plugin/UserDataDirectory.h"

namespace
{
const juce::String presetExtension { ".xml" };

/** Writes beside the target and renames over it, so an existing preset is
    always either the old file or the new one, never a partial write. The
    temporary name is hidden and does not end in ".xml", so a save that dies
    half way leaves nothing that is listed as a preset. */
bool writeReplacing (const juce::XmlElement& xml, const juce::File& target)
{
    juce::MemoryOutputStream text;
    xml.writeTo (text);

    const auto tempName = "." + target.getFileName() + "." + juce::String::toHexString (juce::Random().nextInt());
    const auto tempFile = target.getParentDirectory().getNonexistentChildFile (tempName, ".tmp", false);
    const juce::TemporaryFile temp (target, tempFile);

    {
        juce::FileOutputStream out (tempFile);

        if (! out.openedOk() || ! out.write (text.getData(), text.getDataSize()))
            return false;

        out.flush();

        if (out.getStatus().failed())
            return false;
    }

    // A short write (a full disk, a file size limit) is not always reported as
    // an error by the stream, so the length is checked before the swap.
    if (tempFile.getSize() != (juce::int64) text.getDataSize())
        return false;

    return temp.overwriteTargetFileWithTemporary();
}
} // namespace

PresetManager::PresetManager (const AppInfo& productIdentity) : identity (productIdentity) {}

juce::File PresetManager::getBaseDirectory() const { return getProductDataDirectory (identity); }

juce::File PresetManager::getPresetDirectory() const { return getBaseDirectory().getChildFile ("Presets"); }

juce::File PresetManager::getPresetFile (const juce::String& name) const
{
    // Trimmed again after filtering: a dropped character next to a space would
    // otherwise leave a file name that the listed name no longer leads back to.
    auto fileName = name.trim()
                        .retainCharacters ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-")
                        .trim();

    if (fileName.isEmpty())
        fileName = "Preset";

    return getPresetDirectory().getChildFile (fileName + presetExtension);
}

bool PresetManager::isSamePreset (const juce::String& name, const juce::String& otherName) const
{
    return getPresetFile (name).getFileName().equalsIgnoreCase (getPresetFile (otherName).getFileName());
}

bool PresetManager::savePreset (const juce::String& name, const juce::ValueTree& state)
{
    // A failure to create it shows up as a failed write.
    getPresetDirectory().createDirectory();

    if (! state.isValid())
        return false;

    const auto xml = state.createXml();
    return xml != nullptr && writeReplacing (*xml, getPresetFile (name));
}

juce::ValueTree PresetManager::loadPreset (const juce::String& name) const
{
    const auto file = getPresetFile (name);

    if (! file.existsAsFile())
        return {};

    if (const auto xml = juce::XmlDocument::parse (file))
        return juce::ValueTree::fromXml (*xml);

    return {};
}

bool PresetManager::deletePreset (const juce::String& name)
{
    const auto file = getPresetFile (name);
    return file.existsAsFile() && file.deleteFile();
}

juce::StringArray PresetManager::getUserPresetNames() const
{
    juce::StringArray names;
    const auto dir = getPresetDirectory();

    if (! dir.isDirectory())
        return names;

    for (const auto& file : dir.findChildFiles (juce::File::findFiles, false, "*" + presetExtension))
        names.add (file.getFileNameWithoutExtension());

    names.sort (true);
    return names;
}

bool PresetManager::renamePreset (const juce::String& oldName, const juce::String& newName)
{
    const auto from = getPresetFile (oldName);
    const auto to = getPresetFile (newName);

    if (! from.existsAsFile() || newName.trim().isEmpty() || to.existsAsFile())
        return false;

    return from.moveFileTo (to);
}
