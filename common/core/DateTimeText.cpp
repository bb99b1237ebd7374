#include "DateTimeText.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace core {

namespace {

// Qt's long time format names the time zone ("t"); a system long-time text never does.
QString timeFormatWithSeconds(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    format.replace(zone, QStringLiteral(" "));
    format = format.trimmed();
    if (!format.contains(QLatin1Char('s')))
        format = QStringLiteral("HH:mm:ss");
    return format;
}

} // namespace

std::string timeText(const QDateTime& when)
{
    const QLocale locale;
    return locale.toString(when.time(), timeFormatWithSeconds(locale)).toStdString();
}

std::string dateTimeText(const QDateTime& when)
{
    const QLocale locale;
    std::string text = locale.toString(when.date(), QLocale::ShortFormat).toStdString();
    if (when.time() != QTime(0, 0, 0))
        text += ' ' + timeText(when);
    return text;
}

std::string nowText()
{
    return dateTimeText(QDateTime::currentDateTime());
}

} // namespace core
