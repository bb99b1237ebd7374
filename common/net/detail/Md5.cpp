#include "Md5.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

namespace net {

namespace {

QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string md5Hex(const std::string& data)
{
    return QCryptographicHash::hash(bytes(data), QCryptographicHash::Md5).toHex().toStdString();
}

std::string hmacMd5Hex(const std::string& key, const std::string& data)
{
    return QMessageAuthenticationCode::hash(bytes(data), bytes(key), QCryptographicHash::Md5).toHex().toStdString();
}

} // namespace net
