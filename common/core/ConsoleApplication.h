#pragma once

// The guarded application object of both programs. An error that no handler took on its way
// out of an event handler reaches the program's top-level error display, and the event loop
// goes on; without a display handler (the console) the text goes to standard error.
// `Application` is QCoreApplication without a window, QApplication with one
// (desktop::GuardedApplication).

#include <QCoreApplication>

#include <exception>
#include <functional>
#include <iostream>
#include <string>

namespace core {

template <class Application> class Guarded final : public Application
{
public:
    using ErrorDisplay = std::function<void(const std::string& text)>;

    Guarded(int& argc, char** argv)
        : Application(argc, argv)
    {
    }

    void setErrorDisplay(ErrorDisplay display) { m_display = std::move(display); }

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return Application::notify(receiver, event);
        } catch (const std::exception& e) {
            show(e.what());
        } catch (...) {
            show("Unknown error");
        }
        return false;
    }

private:
    void show(const std::string& text)
    {
        if (m_display)
            m_display(text);
        else
            std::cerr << text << std::endl;
    }

    ErrorDisplay m_display;
};

using ConsoleApplication = Guarded<QCoreApplication>;

} // namespace core
