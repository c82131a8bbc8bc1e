#pragma once
#include <string>

// Labels of the capture analytics events. Storage label, from the storage type bits
// (2 upload, 4 local file): "Server + Local", "Server", "Clipboard + Local" or
// "Clipboard". Video label: "Local" when the video save type is not 0, else "Server".
std::wstring StorageLabel(int storageType);
std::wstring VideoLabel(int videoSaveType);
