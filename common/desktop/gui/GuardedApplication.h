#pragma once

// The application object of a window program. An error that no handler took on its way out of
// an event handler reaches the program's top-level error display (a message box), and the
// event loop goes on; without a display handler the text goes to standard error.

#include <QApplication>

#include <functional>
#include <string>

namespace desktop {

class GuardedApplication final : public QApplication
{
public:
    using ErrorDisplay = std::function<void(const std::string& text)>;

    GuardedApplication(int& argc, char** argv);

    void setErrorDisplay(ErrorDisplay display) { m_display = std::move(display); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void show(const std::string& text);

    ErrorDisplay m_display;
};

} // namespace desktop
