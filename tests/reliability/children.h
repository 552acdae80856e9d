// Shared by the reliability tests: children forked to work under faults, and the lines of a
// log as CLogFile writes them.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "fieldkit/text/format.h"

namespace reliability {

// Forks a child that runs `body` and leaves with its result, never returning into the test
// runner. Only a test with no threads of its own running may fork: a lock another thread held
// then would stay held in the child.
inline pid_t Fork(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

// An override from the environment, or `fallback` where it is not set.
inline int EnvInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

// What CLogFile writes before the text of line `n` with LOGFMT_NUMBER: "%4ld - ", and for the
// application log also the seconds (taken from `line` itself) and the level 1.
inline std::string LogPrefix(const std::string& line, long long n, bool appLog) {
    std::string head = fieldkit::detail::FormatA("%4lld - ", n);
    if (appLog) {
        const double seconds = std::atof(line.c_str() + std::min(line.size(), head.size() + 1));
        head += fieldkit::detail::FormatA("(%.3f) - <1> - ", seconds);
    }
    return head;
}

}  // namespace reliability
