#include "sha256.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace quorvel {

std::string sha256Hex(std::string_view bytes) {
    const QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

}  // namespace quorvel
