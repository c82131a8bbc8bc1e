#include "settings/SettingsManagerImpl.h"

void SettingsManagerImpl::DeriveMouseHotkeys() {
    m_hotkeys[HotkeySlot::RegionScreenshotByMouse] =
        m_useLRMouseForRegioScreenshot ? MouseRegionCombination() : HotkeyCombination();
    m_hotkeys[HotkeySlot::VideoRecordingByMouse] =
        m_useLRMouseForVideoRecording ? MouseVideoCombination() : HotkeyCombination();
}

void SettingsManagerImpl::ResetOutOfRangeValues() {
    const SettingsManagerImpl defaults;
    // Any non-empty combination of the three destination bits.
    if (m_storageType < 1 || m_storageType > (kStorageClipboard | kStorageServer | kStorageLocal)) {
        m_storageType = defaults.m_storageType;
    }
    if (m_videoSaveType != kVideoSaveServer && m_videoSaveType != kVideoSaveLocal) {
        m_videoSaveType = defaults.m_videoSaveType;
    }
    if (m_imageTypeId != kImageTypePng && m_imageTypeId != kImageTypeJpeg) {
        m_imageTypeId = defaults.m_imageTypeId;
    }
    if (m_jpegQuality < 0 || m_jpegQuality > 100) m_jpegQuality = defaults.m_jpegQuality;
    if (m_videoQualityLevel < kVideoQualityLow || m_videoQualityLevel > kVideoQualityFull) {
        m_videoQualityLevel = defaults.m_videoQualityLevel;
    }
}
