#include "HostName.h"

// The one call that differs between the platforms.
#if defined(_WIN32)
#include <winsock2.h>
#else
#include <unistd.h>
#endif

namespace tolsa::bridge {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

}  // namespace tolsa::bridge
