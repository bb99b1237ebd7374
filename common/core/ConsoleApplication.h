#pragma once

// The application object of a program without a window. An error that no handler took on
// its way out of an event handler is the console's top-level error display: its text goes to
// standard error, and the event loop goes on.

#include <QCoreApplication>

namespace core {

class ConsoleApplication final : public QCoreApplication
{
public:
    ConsoleApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace core
