#include "monitor/core/ExportText.h"

namespace monitor {

std::string exportText(const DestinationList& list)
{
    std::string text;
    for (int column = 0; column < Destination::ColumnCount; ++column) {
        if (column > 0)
            text += '\t';
        text += Destination::ColumnCaptions[static_cast<size_t>(column)];
    }
    text += "\r\n";
    for (const Destination& row : list.rows()) {
        text += row.HostName;
        for (const std::string& item : row.SubItems) {
            text += '\t';
            text += item;
        }
        text += "\r\n";
    }
    return text;
}

} // namespace monitor
