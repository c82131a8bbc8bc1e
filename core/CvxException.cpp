#include "core/CvxException.h"

#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/Utf.h"

CvxException::CvxException(const std::string& message) : m_message(message) {
    // The message is outside text: never a format.
    Log("%s", FormatA("{}\n").Arg(m_message).Str().c_str());
}

CvxException::CvxException(const std::wstring& message) : CvxException(WideToUtf8(message)) {}
