#include "core/CvxVideoMode.h"

std::string CvxVideoModeName(int mode) {
    switch (mode) {
    case CvxVideoModeGdi: return "{gdi}";
    case CvxVideoModeDx9: return "dx9";
    case CvxVideoModeDxgi: return "{dxgi}";
    default: return "{?}";
    }
}
