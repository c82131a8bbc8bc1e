#include "app/SettingsPagesLogic.h"

int StorageRadioFromBits(int bits) {
    if (bits & kStorageServer) return 0;
    if (bits & kStorageClipboard) return 1;
    return -1;
}

int StorageBitsFromPage(int storedBits, int radioIndex, bool localChecked) {
    int bits = localChecked ? kStorageLocal : 0;
    if (radioIndex == 0) return bits | kStorageServer;
    if (radioIndex == 1) return bits | kStorageClipboard;
    return bits | (storedBits & (kStorageServer | kStorageClipboard));
}

VideoSaveControls VideoSaveControlsFor(bool localChecked, bool silentMode) {
    return VideoSaveControls{localChecked, !localChecked && !silentMode};
}

SoundCheckOutcome DecideSoundCheck(bool tested, bool thisOn, bool thisSourceOk, bool otherOn, bool otherSourceOk,
                                   bool formatsMatch) {
    if (!tested) return SoundCheckOutcome::Nothing;
    if (thisOn && !thisSourceOk) return SoundCheckOutcome::SourceNotFound;
    if (thisOn && otherOn && thisSourceOk && otherSourceOk && !formatsMatch) return SoundCheckOutcome::QualityWarning;
    return SoundCheckOutcome::Nothing;
}

std::wstring ToggleAction(bool on, const std::wstring& name) {
    return (on ? L"Set " : L"Unset ") + name;
}

std::wstring ChoiceAction(const std::wstring& what, const std::wstring& choice) {
    return L"Set " + what + L" to " + choice;
}

std::wstring SoundQualityLabel(unsigned soundRate, unsigned micRate) {
    return std::to_wstring(soundRate) + L"," + std::to_wstring(micRate);
}

const wchar_t* VideoQualityItem(int level) {
    switch (level) {
    case 0:
        return L"Low - up to 480p";
    case 1:
        return L"Medium - up to 720p";
    case 2:
        return L"High - up to 1080p";
    default:
        return L"";
    }
}
