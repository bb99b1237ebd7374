#pragma once

// "Export to Text": the list as tab-separated text for spreadsheets. A header line with the six
// column captions, then one line per row in list order (the caption, then a TAB and each text
// the row has); texts as they stand, lines ended by CR LF.

#include "monitor/core/DestinationList.h"

#include <string>

namespace monitor {

std::string exportText(const DestinationList& list);

} // namespace monitor
