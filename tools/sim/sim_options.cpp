#include "sim_options.h"

#include <cstdlib>

#include "loader_model.h"

namespace quorvel::sim {
namespace {

bool parseWhole(const std::string& text, long least, long most, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= least && value <= most;
}

// SIZE[:MS]
bool parsePackets(const std::string& text, SimOptions& o) {
    const size_t colon = text.find(':');
    long size = 0;
    long gap = o.packetGapMs;
    if (!parseWhole(text.substr(0, colon), 1, 4096, size)) return false;
    if (colon != std::string::npos && !parseWhole(text.substr(colon + 1), 0, 1000, gap)) {
        return false;
    }
    o.packetBytes = static_cast<size_t>(size);
    o.packetGapMs = gap;
    return true;
}

}  // namespace

std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    SimOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (value) return value;
            if (i + 1 < args.size()) return args[++i];
            error = name + " needs a value";
            return std::nullopt;
        };
        if (name == "-h" || name == "--help") {
            o.help = true;
        } else if (name == "-V" || name == "--version") {
            o.version = true;
        } else if (name == "--pace") {
            o.pace = true;
        } else if (name == "--packets") {
            const auto v = takeValue();
            if (!v) return std::nullopt;
            if (!parsePackets(*v, o)) {
                error = "--packets takes SIZE[:MS], SIZE 1 to 4096 bytes, MS 0 to 1000";
                return std::nullopt;
            }
        } else if (name == "--link" || name == "--log" || name == "--dump") {
            const auto v = takeValue();
            if (!v) return std::nullopt;
            (name == "--link" ? o.link : name == "--log" ? o.log : o.dump) = *v;
        } else if (name == "--fault") {
            const auto v = takeValue();
            if (!v) return std::nullopt;
            std::string why;
            std::optional<FaultRule> rule = parseFault(*v, why);
            if (!rule) {
                error = "--fault " + *v + ": " + why;
                return std::nullopt;
            }
            o.faults.push_back(std::move(*rule));
        } else if (name == "--input-low") {
            const auto v = takeValue();
            if (!v) return std::nullopt;
            char* end = nullptr;
            const long pin = std::strtol(v->c_str(), &end, 10);
            if (v->empty() || *end != '\0' || pin < 0 || pin >= kPinCount) {
                error = "--input-low takes a pin number from 0 to 31";
                return std::nullopt;
            }
            o.inputLowPins.push_back(static_cast<int>(pin));
        } else {
            error = "unknown argument '" + args[i] + "'";
            return std::nullopt;
        }
    }
    return o;
}

void printSimHelp(std::FILE* out) {
    std::fputs(
        "usage: quorvel-loader-sim [--link PATH] [--log FILE] [--dump FILE] [--pace]\n"
        "                          [--packets SIZE[:MS]] [--fault RULE]... [--input-low PIN]...\n"
        "\n"
        "A simulated Quorvel flash loader on a pseudo-terminal, for testing Quorvel Software\n"
        "Writer without a device. It prints the pty's slave path (the port to open) on the\n"
        "first line of standard output and answers like a healthy loader until it gets\n"
        "SIGTERM or SIGINT (or its parent process ends). The port can be opened and closed\n"
        "any number of times meanwhile.\n"
        "\n"
        "Options:\n"
        "  --link PATH       also make a symbolic link PATH to the slave (an old link is\n"
        "                    replaced; the link is removed on exit)\n"
        "  --log FILE        write a transcript: one line per message and reply (below)\n"
        "  --dump FILE       on exit, write the simulated flash 0x4000..0x23FFF to FILE\n"
        "                    (131072 bytes; it starts all FF)\n"
        "  --pace            take as long as a real line: answer a message only after its\n"
        "                    own line time (bytes x 10 / baud at the speed the port is set\n"
        "                    to), and send the reply at that speed too\n"
        "  --packets SIZE[:MS]  hand every reply over in packets of at most SIZE bytes, at\n"
        "                    least MS ms apart (default 1), as a USB serial adapter does;\n"
        "                    with --pace a packet still waits for its own line time\n"
        "  --fault RULE      inject a fault (repeatable; see below)\n"
        "  --input-low PIN   pin PIN (0..31) reads low as an input (inputs read high)\n"
        "  -h, --help        show this help\n"
        "  -V, --version     show the version\n"
        "\n"
        "Messages and healthy replies:\n"
        "  FF FE L1 L2 ... (1032-byte frame, check byte = low 8 bits of the sum of bytes\n"
        "  2..1030): the 1032-byte echo, status, CR LF '>' (1036 bytes, status at index\n"
        "  1032). Status '0'; 'E' for a bad check byte, unknown letters, or a block outside\n"
        "  the flash. \"BE\" erases the flash to FF, \"PG\" writes bytes 7..1030 at the\n"
        "  address in bytes 4..6 (most significant first), \"ED\" disconnects.\n"
        "  \"QZ~FLASH\" CR LF / \"QZ~FLASHU\" CR LF: echo, 'C', CR LF '>' (14/15 bytes).\n"
        "  \"QZ~P\" PIN MODE CR: \"QZ~P\"+PIN cut or space-padded to 8 bytes, CR LF, two\n"
        "  status characters, CR LF (14 bytes). PIN is 0..31 (else \"NG\"); MODE 0 output\n"
        "  low, 1 output high, 2 input (\"OK\"), 3 read: \"00\" output low, \"01\" output\n"
        "  high, \"02\" input low, \"03\" input high. Pins start as inputs.\n"
        "  00 00 CR LF (END) and 01 01 CR LF (ERASE, clears the flash): one byte '0'.\n"
        "  Row record [addr hi][addr lo][16 data][2 more] (address 0x4000..0xFFF0, low\n"
        "  nibble 0): the record, CR LF '>', the record again (43 bytes); it waits.\n"
        "  \"OK\" CR LF writes the waiting row, \"NG\" CR LF drops it: the line space-padded\n"
        "  to 23 bytes, status, CR LF, spaces to 43 bytes; status '0' for a row written,\n"
        "  'N' otherwise.\n"
        "  Bytes that start no message are dropped one at a time until a message starts.\n"
        "\n"
        "Fault RULE:  KIND[@ADDRESS]=ACTION[,count=N]\n"
        "  KIND      connect pin erase program disconnect text row ack\n"
        "  @ADDRESS  program and row only: aim at the block (row) starting there, e.g.\n"
        "            program@0x10000 (0x hex or decimal)\n"
        "  ACTION    silent          write nothing at all\n"
        "            short           the reply without its last byte\n"
        "            status:X        X at the status position: one character, two for pin\n"
        "                            (not for row)\n"
        "            garbage         random bytes of the right length; the status position\n"
        "                            holds no meaningful status and a row echo never matches\n"
        "            mismatch        row only: the repeated record (from index 23) differs\n"
        "            slow:MS         the healthy reply in 8 pieces, MS ms apart\n"
        "            late:MS         the healthy reply, MS ms after the tool's 2.5 s reply\n"
        "                            deadline (counted from the message's first byte)\n"
        "            tail:MS         the first half of the healthy reply at once, the second\n"
        "                            half MS ms after the tool's reply deadline\n"
        "            close-after:N   answer N matching messages; on the next one close the\n"
        "                            pty and exit (the tool sees the port vanish)\n"
        "            cut:N           the loader hears only the first N bytes (1 to 1031) of\n"
        "                            the first matching message, as when its writer is killed\n"
        "                            mid-frame, and takes the bytes that come next (the next\n"
        "                            writer's connect command) for the rest of it\n"
        "  count=N   only the first N matching messages get the fault (not close-after, cut)\n"
        "  The first rule that matches a message and has uses left applies. A message whose\n"
        "  reply is faulted is not carried out (flash, pins and waiting row stay as they\n"
        "  are); slow, late, tail and close-after change nothing but the timing and the end.\n"
        "  Examples: --fault connect=silent  --fault program@0x10000=status:E\n"
        "            --fault program=status:E,count=1  --fault pin=status:NG\n"
        "            --fault program=close-after:3  --fault disconnect=garbage\n"
        "            --fault program@0x10000=cut:1025\n"
        "\n"
        "Transcript (--log), one line per event, KEY=VALUE fields, t= seconds last:\n"
        "  start path=SLAVE t=T\n"
        "  rx kind=KIND len=N baud=B ... t=T    B: the port's speed when the message was\n"
        "       complete. connect/text/ack: word=W hex=H; pin: pin=P mode=D hex=H;\n"
        "       row: addr=0xAAAA hex=H; erase/program/disconnect/frame (frame = unknown\n"
        "       letters): letters=LL addr=0xAAAAAA check=ok|bad\n"
        "  tx kind=KIND len=N status=S fault=none|RULE t=T   (len=0: nothing was sent;\n"
        "       S is '-' when the reply has no status or was cut before it)\n"
        "  drop len=N hex=H t=T   bytes that started no message\n"
        "  close kind=KIND rule=RULE t=T   a close-after fault fired\n"
        "  cut kind=KIND heard=N lost=M rule=RULE t=T   a cut fault fired\n"
        "  end reason=signal|close-after|pty-error t=T\n"
        "  Bytes outside 0x21..0x7E in P, D, LL and S appear as \\xHH.\n"
        "\n"
        "Exit codes: 0 normal end, 1 the pty or a file could not be set up, 64 usage error.\n",
        out);
}

}  // namespace quorvel::sim
