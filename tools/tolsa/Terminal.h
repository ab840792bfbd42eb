#pragma once
// What watch needs from the console: whether stdout is one, escape
// sequences on Windows consoles, Ctrl-C as a request to stop, and a sleep
// that a Ctrl-C cuts short.

namespace tolsa::tool {

bool StdoutIsTerminal();
// Lets a Windows console interpret the escape sequences watch writes.
void EnableEscapeSequences();
// From now on Ctrl-C (and SIGTERM) only sets a flag.
void CatchInterrupt();
bool Interrupted();
// Sleeps `milliseconds`, or less when interrupted.
void SleepUnlessInterrupted(long milliseconds);

}  // namespace tolsa::tool
