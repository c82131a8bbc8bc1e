#include "core/video/Mp4Writer.h"

// No platform MP4 writer here: our own back end does the work.
MediaWriterFactory PlatformMediaWriterFactory() { return nullptr; }
