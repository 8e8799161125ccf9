#include "usage.h"

#include "cli_options.h"
#include "json_run.h"

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
        "name ends in .hex) the way Quorvel Software Writer does, and writes them to the\n"
        "device over a serial port.\n"
        "\n"
        "Image commands:\n"
        "  info FILE                 load FILE and show the address ranges that hold data,\n"
        "                            the number of 1 KiB blocks a write sends and the\n"
        "                            check sum of C000 to FFFF\n"
        "  dump FILE                 write the 131072 image bytes (0x4000 to 0x23FFF, FF\n"
        "                            where the file holds nothing) to standard output\n"
        "  checksum FILE [START STOP]\n"
        "                            sum of the image bytes from START to STOP (hex, 0x\n"
        "                            allowed, default C000 FFFF), as the CHECK SUM box\n"
        "                            shows it\n"
        "  records FILE              sum up a record file of write --record: devices per\n"
        "                            outcome, image and port, and the ones not written\n"
        "\n"
        "Device commands (talk to the device's flash loader on a serial port):\n"
        "  write FILE                the whole rewrite: connect, erase, program, disconnect;\n"
        "                            asks for confirmation on a terminal unless --yes.\n"
        "                            With several --port options every device is rewritten\n"
        "                            at once, one progress line each, then a table of the\n"
        "                            outcomes; exit code 0 only when every device succeeded\n"
        "  connect                   put the loader into flash mode (success: status 3)\n"
        "  erase                     erase the flash (success: status 4)\n"
        "  program FILE              write FILE's 1 KiB blocks (success: status 0)\n"
        "  disconnect                leave the loader (success: status 0)\n"
        "  pin                       drive or read one pin (--pin, --mode); prints OK, NG,\n"
        "                            output low, output high, input low, input high, or\n"
        "                            ??? for any other answer (NG and ???: exit code 1)\n"
        "  text-erase, text-end      the short ERASE / END line commands (success: status 0)\n"
        "  row-write FILE            write FILE row by row (success: status 0)\n"
        "  ports                     list the serial ports with their COM numbers, location,\n"
        "                            description, manufacturer, USB ids and serial number,\n"
        "                            and the QUORVEL_COMn overrides in effect\n"
        "  help [COMMAND]            this overview, or one command's usage, options and\n"
        "                            an example (also: quorvel-flash COMMAND --help)\n"
        "\n"
        "Device commands name the port they use and the device behind it, then each step\n"
        "and the progress (the block's address, blocks sent of all, time spent and left)\n"
        "on standard error, a line at a time as it happens; the outcome and the answers\n"
        "go to standard output.\n"
        "\n"
        "When a step fails, the tool says what it saw: the port that could not be opened,\n"
        "no reply within 2.5 s, a reply too short, or the status byte that came back, and\n"
        "how many attempts were used. A reply that comes after its 2.5 s deadline is\n"
        "listened for and thrown away before the next message goes out, so that it can\n"
        "never be taken for the answer to a later one.\n"
        "\n"
        "Options (an option's value may also follow \"=\", as in --port=COM2; \"--\" ends the\n"
        "options, so that a FILE may begin with \"-\"; short options may be bundled, as in\n"
        "-qy or -yp COM2; each command takes only the options its help lists):\n"
        "  -p, --port COMn|DEVICE    the port (default COM1); COMn is the device that\n"
        "                            QUORVEL_COMn names, else the n-th serial port found\n"
        "                            (USB and ACM adapters first, ttyS ports last; see\n"
        "                            ports). write takes it more than once\n"
        "  --loader 1.05|1.06        loader generation (default 1.06, \"QZ~FLASHU\")\n"
        "  --speed 9600|38400|4800   speed option for pin and row-write (default 9600)\n"
        "  --pin TEXT                pin for the pin command (default empty)\n"
        "  --mode low|high|input|read\n"
        "                            what the pin command does (default read)\n"
        "  -y, --yes                 write without asking (write, program and row-write\n"
        "                            ask on a terminal and need --yes elsewhere)\n"
        "  --dry-run                 write only: load FILE, open and close the port,\n"
        "                            print what would be sent, and send nothing\n"
        "  --strict                  for loaders that repeat each frame and answer \"0\":\n"
        "                            an erase or block answer counts only when it begins\n"
        "                            with the frame as sent and its answer byte is \"0\"\n"
        "                            (without it, any whole answer but \"E\" counts, and a\n"
        "                            write whose answers did not repeat the frames ends\n"
        "                            with a warning)\n"
        "  --json                    print one JSON object on standard output instead of\n"
        "                            text, errors included: outcome, exit code, image\n"
        "                            (SHA-256, check sum), each port's device and steps\n"
        "                            (docs/json.md); not with dump, help or --version\n"
        "  --log FILE                write a transcript to FILE: the time of every line,\n"
        "                            each step, the bytes sent, how many bytes came back\n"
        "                            and which, and each step's status. With several\n"
        "                            ports, one file per port with the port's name before\n"
        "                            the extension: run.log gives run-COM2.log,\n"
        "                            run-ttyUSB0.log (for /dev/ttyUSB0)\n"
        "  --station                 write only: a production station; on every port wait\n"
        "                            for a device, write it, wait for its removal, repeat\n"
        "                            until Ctrl-C, then print the totals\n"
        "  --record FILE             write only: add one JSON line per device to FILE as\n"
        "                            it ends (times, host, port, adapter serial, image,\n"
        "                            SHA-256, check sum, outcome, failed step, diagnosis,\n"
        "                            blocks written; docs/record.md); earlier lines stay\n"
        "  -v, --verbose             also print every transcript line (sends, waits,\n"
        "                            replies) on standard error as it happens\n"
        "  -q, --quiet               print only the outcome, warnings and what went wrong:\n"
        "                            no port line, no steps, no progress\n"
        "  -h, --help                show this help (after a command: that command's)\n"
        "  -V, --version             show the version\n"
        "\n"
        "Exit codes: 0 success, 1 device or exchange failure, 2 file error, 3 cancelled:\n"
        "nothing was sent, 64 usage error, 130 interrupted by Ctrl-C or SIGTERM or a\n"
        "closed output: the tool stops after the message on the line is answered, sends\n"
        "nothing more and says what state that leaves the device in (a second Ctrl-C\n"
        "ends it at once).\n",
        kUsageLine);
}

int usageError(std::FILE* err, const std::string& problem) {
    std::fprintf(err, "quorvel-flash: %s\n%s\n(quorvel-flash --help lists the commands)\n",
                 problem.c_str(), kUsageLine);
    if (jsonRun()) printRunError(stdout, kExitUsage, problem);
    return kExitUsage;
}

int fileError(std::FILE* err, const std::string& text) {
    std::fprintf(err, "quorvel-flash: %s\n", text.c_str());
    if (jsonRun()) printRunError(stdout, kExitFileError, text);
    return kExitFileError;
}

}  // namespace quorvel::cli
