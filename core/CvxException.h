#pragma once
#include <exception>
#include <string>

// Base of the capture core's exceptions. They are thrown and caught inside the core
// only: the Cvx functions catch every one of them and report failure by their results.
// Building one writes its message to the log, so a failure caught silently deeper in
// the core still leaves a line.
struct CvxException : public std::exception {
    explicit CvxException(const std::string& message);
    explicit CvxException(const std::wstring& message);
#ifdef _WIN32
    // The system's message text for the HRESULT.
    explicit CvxException(long hr);
#endif
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};
