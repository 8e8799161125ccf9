#include "image_identity.h"

#include <QByteArray>
#include <QCryptographicHash>

#include "range_checksum.h"

namespace quorvel {
std::string sha256Hex(std::string_view bytes) {
    const QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

std::string CheckSumLine(const MemoryImage& image, const std::string& sha256) {
    std::string line = "CHECK SUM C000-FFFF: " + RangeChecksum(image, "C000", "FFFF").text;
    if (!sha256.empty()) line += "  SHA-256 " + sha256.substr(0, kShownDigits);
    return line;
}

}  // namespace quorvel
