#pragma once
// The result text of the settings dialog's router address test, also printed by `quillmap test-router`.

#include "netinfo/AdaptersInfo.h"

#include <string>

namespace netinfo {

// Code page 932, lines separated by CR LF: the adapter's and the router's address with a hint, or
// "取得できませんでした。" and the reason.
std::string RouterTestText(const TIpInfo& info);

} // namespace netinfo
