#include "common/desktop/gui/GuardedApplication.h"

#include <exception>
#include <iostream>

namespace desktop {

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        show(e.what());
    } catch (...) {
        show("Unknown error");
    }
    return false;
}

void GuardedApplication::show(const std::string& text)
{
    if (m_display)
        m_display(text);
    else
        std::cerr << text << std::endl;
}

} // namespace desktop
