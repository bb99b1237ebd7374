#include "TextChecks.h"

#include <QRegularExpression>
#include <QString>

#include <sstream>

namespace test {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string firstAddressIn(const std::string& text)
{
    const QString qtext = QString::fromStdString(text);
    const QRegularExpression url(
        QStringLiteral(R"(([a-z][a-z0-9+.-]*://)|(\bwww\.)|(\b[a-z0-9-]+\.(com|org|net|de|uk|ru)\b))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression mail(QStringLiteral(R"([A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,})"));
    for (const QRegularExpression* pattern : { &url, &mail }) {
        const auto match = pattern->match(qtext);
        if (match.hasMatch())
            return match.captured().toStdString();
    }
    return {};
}

} // namespace test
