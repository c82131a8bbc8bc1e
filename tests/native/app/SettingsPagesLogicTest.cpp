#include <gtest/gtest.h>

#include <string>

#include "app/SettingsPagesLogic.h"

namespace {

// Stored bits -> the radio shown -> the bits written back after the page is saved
// untouched. No row may gain the upload bit without the user choosing it.
TEST(SavePageStorageTest, BitsRoundTripThroughThePage) {
    struct Case {
        int stored;
        int radio;
        int writtenWithLocal;     // check box 1020 on
        int writtenWithoutLocal;  // check box 1020 off
    };
    const Case cases[] = {
        {1, 1, 5, 1}, {2, 0, 6, 2}, {3, 0, 6, 2}, {4, -1, 4, 0}, {5, 1, 5, 1},
        {6, 0, 6, 2}, {7, 0, 6, 2}, {0, -1, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        int radio = StorageRadioFromBits(c.stored);
        EXPECT_EQ(radio, c.radio);
        EXPECT_EQ(StorageBitsFromPage(c.stored, radio, true), c.writtenWithLocal);
        EXPECT_EQ(StorageBitsFromPage(c.stored, radio, false), c.writtenWithoutLocal);
    }
}

TEST(SavePageStorageTest, ChosenRadioReplacesTheDestinationBits) {
    // A local-only setting: the user picks upload, then clipboard.
    EXPECT_EQ(StorageBitsFromPage(4, 0, true), 6);
    EXPECT_EQ(StorageBitsFromPage(4, 1, true), 5);
    // Upload chosen over clipboard and back: bit 1 and bit 2 never appear together.
    EXPECT_EQ(StorageBitsFromPage(5, 0, true), 6);
    EXPECT_EQ(StorageBitsFromPage(6, 1, false), 1);
}

TEST(VideoPageControlsTest, OpenInBrowserOnlyForUploadsOutsideSilentMode) {
    struct Case {
        bool local, silent;
        bool folder, openInBrowser;
    };
    const Case cases[] = {
        {false, false, false, true},
        {true, false, true, false},
        {false, true, false, false},
        {true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "local " << c.local << " silent " << c.silent);
        VideoSaveControls controls = VideoSaveControlsFor(c.local, c.silent);
        EXPECT_EQ(controls.folderEnabled, c.folder);
        EXPECT_EQ(controls.openInBrowserEnabled, c.openInBrowser);
    }
}

TEST(VideoPageSoundCheckTest, DecisionTable) {
    using O = SoundCheckOutcome;
    struct Case {
        const char* name;
        bool tested, thisOn, thisOk, otherOn, otherOk, match;
        O expected;
    };
    const Case cases[] = {
        {"turned on, own source missing", true, true, false, false, false, false, O::SourceNotFound},
        {"turned on, own source missing, other on", true, true, false, true, true, false, O::SourceNotFound},
        {"turned off, own source missing", true, false, false, true, true, false, O::Nothing},
        {"turned on alone, works", true, true, true, false, true, false, O::Nothing},
        {"both on, rates differ", true, true, true, true, true, false, O::QualityWarning},
        {"both on, formats match", true, true, true, true, true, true, O::Nothing},
        {"both on, other source missing", true, true, true, true, false, false, O::Nothing},
        {"turned off while other on, rates differ", true, false, true, true, true, false, O::Nothing},
        {"recording active: not tested", false, true, false, true, true, false, O::Nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecideSoundCheck(c.tested, c.thisOn, c.thisOk, c.otherOn, c.otherOk, c.match), c.expected);
    }
}

TEST(SettingsPagesEventTest, ActionTexts) {
    EXPECT_EQ(ChoiceAction(L"image type", L"JPEG"), L"Set image type to JPEG");
    EXPECT_EQ(ChoiceAction(L"Video Quality", VideoQualityItem(1)), L"Set Video Quality to Medium - up to 720p");
    EXPECT_EQ(ToggleAction(true, L"Save Screenshot To Disk"), L"Set Save Screenshot To Disk");
    EXPECT_EQ(ToggleAction(false, L"Always Activate Editor"), L"Unset Always Activate Editor");
    EXPECT_EQ(SoundQualityLabel(48000, 44100), L"48000,44100");
    EXPECT_EQ(std::wstring(VideoQualityItem(0)), L"Low - up to 480p");
    EXPECT_EQ(std::wstring(VideoQualityItem(2)), L"High - up to 1080p");
    EXPECT_EQ(std::wstring(VideoQualityItem(3)), L"");
}

}  // namespace
