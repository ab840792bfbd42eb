#pragma once
// Start-up: the two definition files become records in the shared area and
// entries in a fresh name index.

#include <cstdint>

#include "index/IndexAllocator.h"
#include "platform/Platform.h"
#include "store/Log.h"
#include "store/PublishedState.h"

namespace tolsa {

inline constexpr char kVersion[] = "4.0.0";

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

// The published store, after one more attempt if there was none.
const Store* RetryStartup();

}  // namespace tolsa
