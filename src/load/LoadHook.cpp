// Start-up when the shared library is loaded on Linux. There is no load
// notification per thread here, so a call made while nothing is published
// retries start-up itself.

#include <pthread.h>

#include "store/Startup.h"

namespace {

// A child forked while another thread is inside start-up or writing the log
// would inherit that lock held by a thread it does not have, and hang in its
// first call: fork waits until both are free instead.
void BeforeFork() { tolsa::HoldStartupLocks(); }
void AfterFork() { tolsa::ReleaseStartupLocks(); }

__attribute__((constructor)) void StartAtLoad() {
    pthread_atfork(BeforeFork, AfterFork, AfterFork);
    tolsa::RetryStartupOnEveryCall();
    tolsa::LoadVariableDefinitions();
}

}  // namespace
