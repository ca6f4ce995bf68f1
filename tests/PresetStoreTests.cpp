#include "ProcessorHarness.h"
#include "ProcessorSnapshot.h"
#include "plugin/UserDataDirectory.h"
#include "presets/PresetManager.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace
{
/** Sets an environment variable for one scope; unset when `value` is null. */
struct ScopedEnv
{
    ScopedEnv (const char* nameToSet, const char* value) : name (nameToSet)
    {
        if (const char* old = getenv (name))
            previous = std::string (old);

        if (value != nullptr)
            setenv (name, value, 1);
        else
            unsetenv (name);
    }

    ~ScopedEnv()
    {
        if (previous.has_value())
            setenv (name, previous->c_str(), 1);
        else
            unsetenv (name);
    }

    const char* name;
    std::optional<std::string> previous;
};

/** Gives each test its own empty per-user data directory. */
class PresetStore : public ::testing::Test
{
protected:
    juce::File configHome = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                .getNonexistentChildFile ("zeri-config", "", false);
    ScopedEnv env { "XDG_CONFIG_HOME", configHome.getFullPathName().toRawUTF8() };
    PresetManager store { AppInfo() };
    ProcessorHarness h;
    ZeriZaRirodAudioProcessor& p = *h.processor;

    void SetUp() override { ASSERT_TRUE (configHome.createDirectory()); }
    void TearDown() override { configHome.deleteRecursively(); }

    juce::File presetDir() const { return store.getPresetDirectory(); }

    juce::StringArray filesOnDisk() const
    {
        juce::StringArray names;
        for (const auto& f : presetDir().findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
            names.add (f.getFileName());
        names.sort (true);
        return names;
    }
};
} // namespace

TEST_F (PresetStore, DirectoryFollowsTheUsersConfigHome)
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    const auto below = [] (const juce::File& root) {
        return root.getChildFile ("VododiRarez/Zeri Za-Rirod/version_1.0.3");
    };

    EXPECT_EQ (store.getBaseDirectory(), below (configHome));
    EXPECT_EQ (store.getPresetDirectory(), below (configHome).getChildFile ("Presets"));
    EXPECT_EQ (getProductDataDirectory (AppInfo()), store.getBaseDirectory());

    {
        ScopedEnv unset ("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ (store.getBaseDirectory(), below (home.getChildFile (".config")));
    }
    {
        ScopedEnv relative ("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ (store.getBaseDirectory(), below (home.getChildFile (".config")));
    }
}

TEST_F (PresetStore, FileNaming)
{
    const std::pair<const char*, const char*> cases[] = {
        { "Vocal: Take 2!", "Vocal Take 2.xml" },
        { "  Pop  ", "Pop.xml" },
        { "???", "Preset.xml" },
        { "", "Preset.xml" },
        { "Café", "Caf.xml" },
        { "Lead_vox - dry", "Lead_vox - dry.xml" },
        { "../../etc/passwd", "etcpasswd.xml" },
        { "Great take !", "Great take.xml" }, // no space left dangling at either end
        { "¡ Hola", "Hola.xml" },
    };

    for (const auto& [name, fileName] : cases)
    {
        SCOPED_TRACE (name);
        const auto file = store.getPresetFile (juce::String::fromUTF8 (name));
        EXPECT_EQ (file.getFileName(), fileName);
        EXPECT_EQ (file.getParentDirectory(), presetDir());
    }
}

TEST_F (PresetStore, ListingIsSortedAndSkipsOtherFiles)
{
    EXPECT_TRUE (p.getUserPresetNames().isEmpty()); // no directory yet

    ASSERT_TRUE (presetDir().getChildFile ("sub").createDirectory());
    for (const char* name : { "gamma.xml", "Beta.xml", "alpha.xml", "notes.txt", "old.xml.bak", "sub/inner.xml" })
        ASSERT_TRUE (presetDir().getChildFile (name).replaceWithText ("<PARAMETERS/>"));
    ASSERT_TRUE (presetDir().getChildFile ("folder.xml").createDirectory());

    // Another version keeps its presets apart.
    AppInfo older;
    older.version = "1.0.2";
    ASSERT_TRUE (PresetManager (older).savePreset ("Elsewhere", p.createFullState()));

    EXPECT_EQ (p.getUserPresetNames(), juce::StringArray ({ "alpha", "Beta", "gamma" }));
}

TEST_F (PresetStore, FileText)
{
    ASSERT_TRUE (p.saveUserPreset ("Plain"));

    const juce::String expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "\r\n"
        "<PARAMETERS uiCurrentPresetName=\"Presets\" uiCurrentPresetIsUser=\"0\" uiCurrentPresetModified=\"0\"\r\n"
        "            uiSavedWindowWidth=\"980.0\" uiSavedWindowHeight=\"620.0\" uiSavedWindowSizeSet=\"0\">\r\n"
        "  <PARAM id=\"amount\" value=\"50.0\"/>\r\n"
        "  <PARAM id=\"attack\" value=\"0.3199999928474426\"/>\r\n"
        "  <PARAM id=\"focus\" value=\"50.0\"/>\r\n"
        "  <PARAM id=\"frequency\" value=\"6500.0\"/>\r\n"
        "  <PARAM id=\"mix\" value=\"100.0\"/>\r\n"
        "  <PARAM id=\"monitor\" value=\"0.0\"/>\r\n"
        "  <PARAM id=\"power\" value=\"1.0\"/>\r\n"
        "  <PARAM id=\"range\" value=\"8.0\"/>\r\n"
        "  <PARAM id=\"release\" value=\"48.0\"/>\r\n"
        "  <PARAM id=\"threshold\" value=\"-30.0\"/>\r\n"
        "</PARAMETERS>\r\n";

    EXPECT_EQ (presetDir().getChildFile ("Plain.xml").loadFileAsString(), expected);
    EXPECT_EQ (filesOnDisk(), juce::StringArray ("Plain.xml")); // nothing temporary left behind
}

TEST_F (PresetStore, SaveSetsTheRecordAndReplacesEarlierFiles)
{
    p.setCurrentPresetInfo ("Heavy Ess", false, true);
    h.set (Param::amount, 61);

    ASSERT_TRUE (p.saveUserPreset ("Vocal: Take 2!"));
    EXPECT_EQ (p.getUserPresetNames(), juce::StringArray ("Vocal Take 2"));
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Vocal: Take 2!");
    EXPECT_TRUE (p.isCurrentPresetUser());
    EXPECT_FALSE (p.canUndo());

    // The file remembers the record as it was before the save.
    const auto saved = juce::parseXML (presetDir().getChildFile ("Vocal Take 2.xml"));
    ASSERT_NE (saved, nullptr);
    EXPECT_EQ (saved->getStringAttribute ("uiCurrentPresetName"), "Heavy Ess");

    h.set (Param::amount, 72);
    ASSERT_TRUE (p.saveUserPreset ("Vocal Take 2"));
    EXPECT_EQ (p.getUserPresetNames(), juce::StringArray ("Vocal Take 2"));

    h.set (Param::amount, 5);
    ASSERT_TRUE (p.loadUserPreset ("Vocal Take 2"));
    EXPECT_FLOAT_EQ (h.get (Param::amount), 72);
}

TEST_F (PresetStore, WithoutADirectoryOnlySaveSucceeds)
{
    ASSERT_FALSE (presetDir().exists());
    EXPECT_FALSE (p.loadUserPreset ("Any"));
    EXPECT_FALSE (p.deleteUserPreset ("Any"));
    EXPECT_FALSE (p.renameUserPreset ("Any", "Other"));
    EXPECT_TRUE (p.saveUserPreset ("Any"));
    EXPECT_TRUE (presetDir().getChildFile ("Any.xml").existsAsFile());
}

TEST_F (PresetStore, LoadUndoRedoMovesValuesAndRecordTogether)
{
    h.set (Param::frequency, 9000);
    p.savedWindowWidth = 1300;
    p.savedWindowSizeSet = true;
    ASSERT_TRUE (p.saveUserPreset ("Bright"));

    h.set (Param::frequency, 3000);
    p.savedWindowSizeSet = false;
    p.setCurrentPresetInfo ("Heavy Ess", false, true);
    const auto before = Snapshot::of (p);

    ASSERT_TRUE (p.loadUserPreset ("Bright"));
    EXPECT_FLOAT_EQ (h.get (Param::frequency), 9000);
    EXPECT_TRUE (p.savedWindowSizeSet); // the window size travels with the file
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Bright");
    EXPECT_TRUE (p.isCurrentPresetUser());
    EXPECT_EQ (p.undoManager.getUndoDescriptions(), juce::StringArray ("Load User Preset"));
    const auto loaded = Snapshot::of (p);

    p.performUndo();
    EXPECT_TRUE (Snapshot::of (p) == before);
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Heavy Ess *");

    p.performRedo();
    EXPECT_TRUE (Snapshot::of (p) == loaded);
}

TEST_F (PresetStore, LoadRecordsAStepOnlyWhenTheStateChanges)
{
    ASSERT_TRUE (p.saveUserPreset ("Same"));
    ASSERT_TRUE (p.loadUserPreset ("Same"));
    EXPECT_FALSE (p.canUndo());

    // Equal values under another name: the record differs, so it is a step.
    ASSERT_TRUE (p.saveUserPreset ("Twin"));
    p.setCurrentPresetInfo ("Same", true, false);
    ASSERT_TRUE (p.loadUserPreset ("Twin"));
    EXPECT_EQ (p.undoManager.getUndoDescriptions().size(), 1);
}

TEST_F (PresetStore, UnreadableFilesChangeNothing)
{
    ASSERT_TRUE (presetDir().createDirectory());
    ASSERT_TRUE (presetDir().getChildFile ("Garbage.xml").replaceWithText ("this is not <xml"));
    ASSERT_TRUE (presetDir().getChildFile ("Empty.xml").create());
    ASSERT_TRUE (presetDir().getChildFile ("Folder.xml").createDirectory());

    h.set (Param::focus, 77);
    p.setCurrentPresetInfo ("Mine", true, true);
    const auto before = Snapshot::of (p);

    for (const char* name : { "Garbage", "Empty", "Folder", "Missing" })
    {
        SCOPED_TRACE (name);
        EXPECT_FALSE (p.loadUserPreset (name));
        EXPECT_TRUE (Snapshot::of (p) == before);
    }
}

TEST_F (PresetStore, DeleteAndRenameResultsAndRecord)
{
    enum Kind
    {
        deleting,
        renaming
    };
    struct Case
    {
        const char* name;
        Kind kind;
        const char* from;
        const char* to;
        const char* current; // a user preset, marked modified
        bool result;
        const char* display;
        const char* files;
    };
    const Case cases[] = {
        { "delete the current preset", deleting, "Alpha", "", "Alpha", true, "Presets", "Beta.xml heavy.xml" },
        { "delete another preset", deleting, "Beta", "", "Alpha", true, "Alpha *", "Alpha.xml heavy.xml" },
        { "delete compares the record ignoring case", deleting, "heavy", "", "Heavy", true, "Presets",
          "Alpha.xml Beta.xml" },
        { "delete through the listed name", deleting, "Beta", "", "Beta!", true, "Presets", "Alpha.xml heavy.xml" },
        { "delete a missing preset", deleting, "Gamma", "", "Alpha", false, "Alpha *",
          "Alpha.xml Beta.xml heavy.xml" },
        { "rename the current preset", renaming, "Alpha", "Gamma: 3", "Alpha", true, "Gamma: 3 *",
          "Beta.xml Gamma 3.xml heavy.xml" },
        { "rename another preset", renaming, "Beta", "Gamma", "Alpha", true, "Alpha *",
          "Alpha.xml Gamma.xml heavy.xml" },
        { "rename onto an existing preset", renaming, "Alpha", "Beta", "Alpha", false, "Alpha *",
          "Alpha.xml Beta.xml heavy.xml" },
        { "rename onto the same file", renaming, "Alpha", "Alpha!", "Alpha", false, "Alpha *",
          "Alpha.xml Beta.xml heavy.xml" },
        { "rename to a blank name", renaming, "Alpha", "   ", "Alpha", false, "Alpha *",
          "Alpha.xml Beta.xml heavy.xml" },
        { "rename a missing preset", renaming, "Gamma", "Delta", "Alpha", false, "Alpha *",
          "Alpha.xml Beta.xml heavy.xml" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        presetDir().deleteRecursively();
        for (const char* name : { "Alpha", "Beta", "heavy" })
            ASSERT_TRUE (p.saveUserPreset (name));
        p.setCurrentPresetInfo (c.current, true, true);
        const auto valuesBefore = Snapshot::of (p).values;

        const bool result = c.kind == deleting ? p.deleteUserPreset (c.from) : p.renameUserPreset (c.from, c.to);

        EXPECT_EQ (result, c.result);
        EXPECT_EQ (p.getCurrentPresetDisplayName(), c.display);
        EXPECT_EQ (filesOnDisk().joinIntoString (" "), c.files);
        EXPECT_EQ (Snapshot::of (p).values, valuesBefore);
        EXPECT_FALSE (p.canUndo());
    }
}

TEST_F (PresetStore, UnwritableDirectoryFailsAndKeepsTheRecord)
{
    // A plain file where the preset folder belongs: nothing can be created there.
    ASSERT_TRUE (presetDir().getParentDirectory().createDirectory());
    ASSERT_TRUE (presetDir().replaceWithText ("in the way"));
    p.setCurrentPresetInfo ("Heavy Ess", false, true);
    const auto before = Snapshot::of (p);

    EXPECT_FALSE (p.saveUserPreset ("Mine"));
    EXPECT_TRUE (Snapshot::of (p) == before);
    EXPECT_EQ (presetDir().loadFileAsString(), "in the way");
}

TEST_F (PresetStore, SaveCutShortKeepsTheOldFile)
{
    ASSERT_TRUE (p.saveUserPreset ("Keep"));
    const auto file = presetDir().getChildFile ("Keep.xml");
    const auto original = file.loadFileAsString();

    // A file size limit makes the write stop part way, as a full disk would.
    rlimit previous {};
    ASSERT_EQ (getrlimit (RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 100;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &small), 0);

    h.set (Param::amount, 3);
    p.setCurrentPresetInfo ("Other", false, true);
    const bool saved = p.saveUserPreset ("Keep");

    setrlimit (RLIMIT_FSIZE, &previous);
    std::signal (SIGXFSZ, oldHandler);

    EXPECT_FALSE (saved);
    EXPECT_EQ (file.loadFileAsString(), original);
    EXPECT_EQ (filesOnDisk(), juce::StringArray ("Keep.xml"));
    EXPECT_EQ (p.getCurrentPresetDisplayName(), "Other *");
}
