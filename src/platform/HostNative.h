#pragma once

// The host's own name and the first IPv4 address it resolves to, with no Qt, so that the
// Windows build of this part compiles on its own.
#include <string>

// The host name; empty on failure.
std::string NativeHostName();
// The first IPv4 address of `name` in dotted decimal; empty when there is none.
std::string NativeFirstIPv4(const std::string &name);
