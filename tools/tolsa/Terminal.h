#pragma once
// What watch needs from the console: whether stdout is one, escape
// sequences on Windows consoles, Ctrl-C as a request to stop, and a sleep
// that a Ctrl-C cuts short.

#include <string>

namespace tolsa::tool {

bool StdoutIsTerminal();
bool StderrIsTerminal();
// Lets a Windows console interpret the escape sequences watch writes.
void EnableEscapeSequences();
// From now on Ctrl-C (and SIGTERM) only sets a flag.
void CatchInterrupt();
bool Interrupted();
// Sleeps `milliseconds`, or less when interrupted.
void SleepUnlessInterrupted(long milliseconds);

// One line on stderr, redrawn in place, for long work; nothing at all when
// stderr is not a terminal. Redraws come at most four times a second unless
// forced; the line is ended when the status goes out of scope.
class StatusLine {
public:
    StatusLine();
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;
    bool Due() const;  // whether a redraw now would be shown
    void Show(const std::string& text, bool force = false);

private:
    bool terminal_;
    bool shown_ = false;
    long long lastMs_ = 0;
};

}  // namespace tolsa::tool
