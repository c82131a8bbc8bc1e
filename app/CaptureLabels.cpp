#include "app/CaptureLabels.h"

std::wstring StorageLabel(int storageType) {
    bool local = (storageType & 4) != 0;
    if (storageType & 2) return local ? L"Server + Local" : L"Server";
    return local ? L"Clipboard + Local" : L"Clipboard";
}

std::wstring VideoLabel(int videoSaveType) {
    return videoSaveType != 0 ? L"Local" : L"Server";
}
