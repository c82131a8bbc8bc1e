#include "core/video/AudioCapture.h"

// No capture devices outside Windows.
AudioBackendFactory DefaultAudioBackendFactory() { return nullptr; }
