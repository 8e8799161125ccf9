#include "load_failure_lines.h"

namespace quorvel {
namespace {

std::string readFailureText(FileReadFailure why) {
    switch (why) {
        case FileReadFailure::Missing:
            return "no such file";
        case FileReadFailure::Directory:
            return "is a directory";
        case FileReadFailure::NotRegular:
            return "not a regular file (a FIFO or a device)";
        case FileReadFailure::TooLarge:
            return "larger than 64 MiB, far more than any firmware file";
        case FileReadFailure::Unreadable:
        case FileReadFailure::None:
            break;
    }
    return "it cannot be opened or read (check its permissions)";
}

std::string recordText(const LoadResult& result, bool hex) {
    switch (result.code) {
        case kCodeShortRecord:
            return "the record is too short";
        case kCodeCountTooLarge:
            return "the record holds more than 16 data bytes";
        case kCodeBadLength:
            return hex ? "the record's length does not match its byte count"
                       : "the record is cut short or holds a character that is not hexadecimal";
        case kCodeBadType:
            return "the record type does not begin with 0";
        case kCodeBelowImage:
            return "the record's address lies below 0x4000";
        case kCodeChecksum:
            return "checksum does not match";
        case kCodeNoStartMark:
            return hex ? "the line is empty or does not start with ':'"
                       : "the line is empty or does not start with 'S'";
        case kCodeUnsupportedType:
            return "the record type is not 00, 01, 02 or 03 (or a type 02 record sets a segment)";
        case kCodeCountDisagrees:
            return "the count record says " + std::to_string(result.countSays) +
                   " data records, the file has " + std::to_string(result.dataRecords);
        default:
            return "the record was refused";
    }
}

}  // namespace

std::vector<std::string> loadFailureLines(const std::string& path, const LoadResult& result) {
    const bool hex = readerForPath(path) == &ReadHexLine;
    if (result.kind == LoadResult::Kind::LineRejected) {
        std::vector<std::string> lines = {path + " line " + std::to_string(result.line) + ": " +
                                          recordText(result, hex) + " (code " +
                                          std::to_string(result.code) + ")"};
        if (hex && (result.code == kCodeCountTooLarge || result.code == kCodeUnsupportedType)) {
            lines.push_back(
                "this tool reads 16-bit Intel HEX: addresses up to 0xFFFF, at most 16 data bytes "
                "a record, no extended address records (type 04); for data above 0xFFFF write a "
                "Motorola S-record file instead, for example: srec_cat " +
                path + " -intel -o firmware.mot -motorola -address-length=3 -output-block-size=16");
        }
        return lines;
    }
    if (result.kind == LoadResult::Kind::FileError && result.readFailure == FileReadFailure::None) {
        return {path + " line " + std::to_string(result.line) +
                ": the record holds data outside 0x4000-0x23FFF, the image the device takes"};
    }
    return {"cannot read " + path + ": " + readFailureText(result.readFailure)};
}

}  // namespace quorvel
