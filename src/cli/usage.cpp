#include "usage.h"

#include "cli_options.h"

namespace quorvel::cli {

namespace {
constexpr const char* kUsageLine = "usage: quorvel-flash COMMAND [OPTIONS] [FILE]";
}

void printHelp(std::FILE* out) {
    std::fprintf(
        out,
        "%s\n"
        "\n"
        "Reads Quorvel firmware images (Motorola S-record, or Intel HEX when the file\n"
        "name ends in .hex) the way Quorvel Software Writer does.\n"
        "\n"
        "Image commands:\n"
        "  info FILE                 load FILE and show the address ranges that hold data,\n"
        "                            the number of 1 KiB blocks a write sends and the\n"
        "                            check sum of C000 to FFFF\n"
        "  dump FILE                 write the 131072 image bytes (0x4000 to 0x23FFF, FF\n"
        "                            where the file holds nothing) to standard output\n"
        "  checksum FILE [START STOP]\n"
        "                            sum of the image bytes from START to STOP (hex,\n"
        "                            default C000 FFFF), as the CHECK SUM box shows it\n"
        "\n"
        "Options:\n"
        "  -h, --help                show this help\n"
        "\n"
        "Exit codes: 0 success, 1 device or exchange failure, 2 file error,\n"
        "64 usage error.\n",
        kUsageLine);
}

int usageError(std::FILE* err, const std::string& problem) {
    std::fprintf(err, "quorvel-flash: %s\n%s\n(quorvel-flash --help lists the commands)\n",
                 problem.c_str(), kUsageLine);
    return kExitUsage;
}

}  // namespace quorvel::cli
