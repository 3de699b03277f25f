#pragma once

#include <string>
#include <vector>

// The messages of a setup log's lines, without their time, level and component, in the order
// written, whichever format the log has: CMTrace (Windows) or plain lines (Linux). Tests read the
// log through this alone, so that they do not depend on the format of the system they run on.
std::vector<std::string> LogMessages(const std::string& logText);
