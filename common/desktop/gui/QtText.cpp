#include "common/desktop/gui/QtText.h"

namespace desktop {

QString toQString(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

} // namespace desktop
