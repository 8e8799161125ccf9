#include "image_identity.h"

#include <QByteArray>
#include <QCryptographicHash>

#include "block_walk.h"
#include "range_checksum.h"

namespace quorvel {
std::string sha256Hex(std::string_view bytes) {
    const QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

LoadResult LoadImageWithFacts(const std::string& path, MemoryImage& image, ImageFacts& facts) {
    std::string bytes;
    LoadResult loaded = LoadImageFile(path, image, &bytes);
    if (loaded.ok()) {
        facts = {path, sha256Hex(bytes), RangeChecksum(image, "C000", "FFFF").text,
                 countBlocksToSend(image), loaded.warnings};
    }
    return loaded;
}

std::string CheckSumLine(const ImageFacts& facts) {
    std::string line = "CHECK SUM C000-FFFF: " + facts.checksum;
    if (!facts.sha256.empty()) line += "  SHA-256 " + facts.sha256.substr(0, kShownDigits);
    return line;
}

}  // namespace quorvel
