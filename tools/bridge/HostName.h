#pragma once
#include <string>

namespace tolsa::bridge {
// This machine's host name, or "localhost" when it has none.
std::string HostName();
}
