#pragma once

// Shows a file to the user in the desktop's file manager, selected. The desktop's file manager
// is asked over the session bus (org.freedesktop.FileManager1 ShowItems); where there is no
// session bus or no file manager answers, the folder that holds the file is opened instead.
// Neither waits: the answer of the bus arrives later on the GUI thread.

#include <functional>
#include <string>
#include <vector>

namespace monitor {

// Starts a program with its words; 0 or an errno (core::startProgram by default).
using ProgramStarter = std::function<int(const std::vector<std::string>& arguments)>;

class FileManager
{
public:
    virtual ~FileManager() = default;
    virtual void showItem(const std::string& path) = 0;
};

class DesktopFileManager final : public FileManager
{
public:
    explicit DesktopFileManager(ProgramStarter starter);
    void showItem(const std::string& path) override;

private:
    ProgramStarter m_starter;
};

} // namespace monitor
