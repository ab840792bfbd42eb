#pragma once
// Start-up: the two definition files become records in the shared area and
// entries in a fresh name index.

#include <cstdint>

#include "index/IndexAllocator.h"
#include "tolsa_version.h"
#include "platform/Platform.h"
#include "store/Log.h"
#include "store/PublishedState.h"

namespace tolsa {

inline constexpr char kVersion[] = TOLSA_VERSION;

// Where start-up reads, logs and maps. The library always uses the fixed
// directory and area name; tests, fuzzers and benchmarks use their own.
struct StartupEnvironment {
    const char* directory = "/kestor/";
    const char* areaName = "tolsavariables";
    platform::MappedArea (*openArea)(const char* name, uint32_t size) = platform::OpenSharedArea;
    const IndexAllocator* allocator = &SystemIndexAllocator();
};

// One attempt. Returns true with `store` filled when there is something to
// publish; on false everything it made is released again, except the log,
// which stays open so that later failed lookups can still be logged.
bool RunStartup(const StartupEnvironment& environment, Log& log, Store& store);

// Runs one attempt with the fixed environment and publishes its result,
// unless a store is published already. Serialised within the process.
// Always returns 0.
int32_t LoadVariableDefinitions();

// Makes every call made while nothing is published retry start-up, for a
// platform whose load hooks are not told of each thread. Otherwise such a
// call works on nothing and start-up is retried by the load hooks alone.
void RetryStartupOnEveryCall();

// Take and give back the locks of start-up and of the log, around fork: a
// child must not inherit either held by a thread it does not have.
void HoldStartupLocks();
void ReleaseStartupLocks();

}  // namespace tolsa
