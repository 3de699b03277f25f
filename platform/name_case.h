#pragma once

#include <string>

// Whether two names of queues, ports or drivers are the same to the spooler, which compares them
// without regard to letter case.
bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b);
