// brivane-service: the web service the program uploads to (see service/README.md).
#include "service/http/RequestLog.h"
#include "service/http/ServiceApp.h"
#include "service/logic/Options.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    service::Options options;
    std::string error;
    if (!service::ParseOptions(args, options, &error)) {
        std::fprintf(stderr, "brivane-service: %s\n%s", error.c_str(), service::UsageText().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(service::UsageText().c_str(), stdout);
        return 0;
    }
    // The stop signals are taken by sigwait below; block them before any thread starts
    // so that none of the server threads receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    try {
        service::ServiceApp app(options);
        if (!app.Start(&error)) {
            std::fprintf(stderr, "brivane-service: %s\n", error.c_str());
            return 1;
        }
        int signal = 0;
        sigwait(&stopSignals, &signal);
        service::WriteLogLine("brivane-service stopping (signal " + std::to_string(signal) + ")");
        app.Stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "brivane-service: %s\n", e.what());
        return 1;
    }
    return 0;
}
