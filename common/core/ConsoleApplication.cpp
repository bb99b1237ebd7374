#include "common/core/ConsoleApplication.h"

#include <exception>
#include <iostream>

namespace core {

ConsoleApplication::ConsoleApplication(int& argc, char** argv)
    : QCoreApplication(argc, argv)
{
}

bool ConsoleApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QCoreApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
    } catch (...) {
        std::cerr << "Unknown error" << std::endl;
    }
    return false;
}

} // namespace core
