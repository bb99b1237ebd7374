#include "ConsoleFrontEnd.h"

#include "mirror/core/MirrorController.h"

#include <exception>

namespace mirror {

void ConsoleFrontEnd::appendSummaryLine(const std::string& line)
{
    m_summary += line;
    m_summary += "\r\n";
}

int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err)
{
    ConsoleFrontEnd console(out, err);
    MirrorController controller(programPath, FrontEnd::of(console));
    controller.setBatchMode(true);
    controller.load();
    try {
        controller.RunMirror();
    } catch (const std::exception& e) {
        out.flush();
        err << e.what() << std::endl;
        return 1;
    }
    out.flush();
    return controller.engine().status().errorCount() == 0 && console.messageCount() == 0 ? 0 : 1;
}

} // namespace mirror
