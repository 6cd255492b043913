#pragma once
// The result text of the settings dialog's router address test, also printed by `quillmap test-router`.

#include "netinfo/AdaptersInfo.h"

#include <string>

namespace netinfo {

// Code page 932, lines separated by CR LF: the adapter's and the router's address with a hint, or
// "取得できませんでした。" and the reason (also when no adapter or no router was found without an
// error of its own).
std::string RouterTestText(const TIpInfo& info);
// Whether the test found both an adapter's address and a router's.
bool RouterTestFound(const TIpInfo& info);

} // namespace netinfo
