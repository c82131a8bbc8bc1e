#include "settings/SettingsTypes.h"

const std::map<int, std::wstring> g_imageFileExtensions = {{kImageTypePng, L".png"},
                                                           {kImageTypeJpeg, L".jpg"}};

std::wstring ImageFileExtension(int imageTypeId) {
    auto it = g_imageFileExtensions.find(imageTypeId);
    return it == g_imageFileExtensions.end() ? std::wstring(L".jpg") : it->second;
}
