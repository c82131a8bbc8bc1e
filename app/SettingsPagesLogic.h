#pragma once
#include <string>

#include "settings/SettingsTypes.h"

// The decisions of the Save and Video settings pages, without windows.

// The Save page's radio index for stored bits: 0 (upload) with bit 2, else 1
// (clipboard) with bit 1, else -1: neither radio is selected, so that a local-only
// setting is never shown, and later saved, as an upload.
int StorageRadioFromBits(int bits);
// The bits the Save page writes: 4 when the local copy is checked, with 2 for the upload
// radio or 1 for the clipboard radio; with no radio selected the stored 1 and 2 bits
// stay as they were (upload is only ever added by the user's choice).
int StorageBitsFromPage(int storedBits, int radioIndex, bool localChecked);

// The Video page's enabled state for its save choice. "Open video in the browser"
// (1052) only makes sense for uploaded videos, and silent mode disables it as well.
struct VideoSaveControls {
    bool folderEnabled;          // edit 1054 and button 1055
    bool openInBrowserEnabled;   // check box 1052
};
VideoSaveControls VideoSaveControlsFor(bool localChecked, bool silentMode);

// What the Video page does after a sound or microphone box changed and the devices were
// tested (or not: `tested` false while a recording is active, when nothing is shown).
enum class SoundCheckOutcome {
    Nothing,
    SourceNotFound,   // this box is on and its own source does not work
    QualityWarning,   // both on, both work, their formats cannot be mixed
};
SoundCheckOutcome DecideSoundCheck(bool tested, bool thisOn, bool thisSourceOk, bool otherOn, bool otherSourceOk,
                                   bool formatsMatch);

// Analytics actions of the pages: "Set " or "Unset " followed by the name, and
// "Set <what> to <choice>" (e.g. "Set image type to JPEG").
std::wstring ToggleAction(bool on, const std::wstring& name);
std::wstring ChoiceAction(const std::wstring& what, const std::wstring& choice);
// The label of "Show Sound Quality Warning": "<sound rate>,<microphone rate>".
std::wstring SoundQualityLabel(unsigned soundRate, unsigned micRate);
// The items of the video quality combo box, for levels 0, 1 and 2.
const wchar_t* VideoQualityItem(int level);
