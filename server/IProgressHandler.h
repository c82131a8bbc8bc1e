#pragma once

// Observes one upload; called on the upload's worker thread.
class IProgressHandler {
public:
    virtual ~IProgressHandler() = default;
    virtual void OnProgress(int percent) = 0;
    // Exactly once per upload, last.
    virtual void OnFinished(bool ok) = 0;
    // Once, just before OnFinished(false), when every attempt failed.
    virtual void OnError(int code) = 0;
};
