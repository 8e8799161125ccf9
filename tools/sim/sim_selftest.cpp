// Self-test of quorvel-loader-sim through a real pseudo-terminal: starts the simulator, talks
// to it the way the tool does (reopening the port in between), and checks reply lengths,
// status positions, the flash dump, the transcript and one silent fault.
//   usage: sim_selftest PATH-TO-quorvel-loader-sim

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
int gFailures = 0;

void check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
        ++gFailures;
    }
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes frame(const char* letters, uint32_t address, const Bytes& payload) {
    Bytes f = {0xFF,
               0xFE,
               static_cast<uint8_t>(letters[0]),
               static_cast<uint8_t>(letters[1]),
               static_cast<uint8_t>(address >> 16),
               static_cast<uint8_t>(address >> 8),
               static_cast<uint8_t>(address)};
    f.insert(f.end(), payload.begin(), payload.end());
    f.resize(1031, 0xFF);
    uint32_t sum = 0;
    for (size_t i = 2; i < 1031; ++i) sum += f[i];
    f.push_back(static_cast<uint8_t>(sum));
    return f;
}

struct Sim {
    pid_t pid = -1;
    std::string path;
};

Sim startSim(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return {};
    Sim sim;
    sim.pid = fork();
    if (sim.pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') sim.path += c;
    close(out[0]);
    return sim;
}

int stopSim(const Sim& sim) {
    int status = 0;
    kill(sim.pid, SIGTERM);
    waitpid(sim.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int openPort(const std::string& path, speed_t speed) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) return -1;
    cfmakeraw(&tio);
    cfsetspeed(&tio, speed);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Writes `request` in one write and collects the reply until `expected` bytes are in or
// `waitMs` pass, then a little longer to catch bytes beyond the expected length.
Bytes exchange(int fd, const Bytes& request, size_t expected, int waitMs = 2000) {
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
        return {};
    Bytes reply;
    for (int idleMs = waitMs; idleMs > 0;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, reply.size() >= expected ? 50 : idleMs) <= 0) break;
        uint8_t buf[2048];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        reply.insert(reply.end(), buf, buf + n);
    }
    return reply;
}

struct Case {
    const char* name;
    speed_t speed;
    Bytes request;
    size_t replyLength;
    size_t statusAt;
    std::string status;  // empty: the reply repeats the request at statusAt
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sim_selftest PATH-TO-quorvel-loader-sim\n");
        return 2;
    }
    char dirTemplate[] = "/tmp/sim_selftest.XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string link = dir + "/port", dump = dir + "/flash.bin", log = dir + "/log.txt";
    const Sim sim = startSim(argv[1], {"--link", link, "--dump", dump, "--log", log, "--fault",
                                       "pin=silent", "--fault", "program@0x5000=status:E"});
    check(sim.path.rfind("/dev/", 0) == 0, "first line is the slave path: '" + sim.path + "'");

    Bytes block(1024);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 3);
    const Bytes erase = frame(
        "BE", 0x01C000,
        {0x00, 0xC0, 0x00, 0x01, 0x00, 0x00, 0x01, 0x20, 0x00, 0x01, 0x40, 0x00, 0x00, 0x40, 0x00});
    Bytes badCheck = frame("PG", 0x4400, block);
    badCheck.back() ^= 0x01;
    Bytes row = {0x40, 0x10};
    for (uint8_t i = 0; i < 18; ++i) row.push_back(static_cast<uint8_t>(0xA0 + i));

    const std::vector<Case> cases = {
        {"connect (new loader)", B9600, text("QZ~FLASHU\r\n"), 15, 11, "C"},
        {"connect (old loader)", B9600, text("QZ~FLASH\r\n"), 14, 10, "C"},
        {"erase frame", B38400, erase, 1036, 1032, "0"},
        {"programming frame", B38400, frame("PG", 0x10000, block), 1036, 1032, "0"},
        {"frame with a bad check byte", B38400, badCheck, 1036, 1032, "E"},
        {"block outside the flash", B38400, frame("PG", 0x24000, block), 1036, 1032, "E"},
        {"block faulted to E", B38400, frame("PG", 0x5000, block), 1036, 1032, "E"},
        {"row record", B38400, row, 43, 23, ""},
        {"row acknowledged", B38400, text("OK\r\n"), 43, 23, "0"},
        {"END line", B4800, {0x00, 0x00, 0x0D, 0x0A}, 1, 0, "0"},
        {"disconnect frame", B38400, frame("ED", 0xFFFFFF, {}), 1036, 1032, "0"},
    };
    for (const Case& c : cases) {
        // Like the tool, open and close the port for every exchange.
        const int fd = openPort(link, c.speed);
        check(fd >= 0, std::string(c.name) + ": port opens through the link");
        const Bytes reply = exchange(fd, c.request, c.replyLength);
        close(fd);
        check(reply.size() == c.replyLength,
              std::string(c.name) + ": reply length " + std::to_string(reply.size()));
        if (reply.size() != c.replyLength) continue;
        const Bytes head(reply.begin(), reply.begin() + static_cast<long>(c.statusAt));
        const size_t echoed = std::min(c.request.size(), head.size());
        check(std::equal(head.begin(), head.begin() + static_cast<long>(echoed), c.request.begin()),
              std::string(c.name) + ": echo before the status");
        const Bytes expectedStatus = c.status.empty() ? c.request : text(c.status);
        check(std::equal(expectedStatus.begin(), expectedStatus.end(),
                         reply.begin() + static_cast<long>(c.statusAt)),
              std::string(c.name) + ": status at " + std::to_string(c.statusAt));
    }

    const int fd = openPort(link, B9600);
    check(exchange(fd, text("QZ~P53\r"), 14, 300).empty(), "a silent fault sends nothing");
    close(fd);

    check(stopSim(sim) == 0, "exit code 0 on SIGTERM");
    struct stat st {};
    check(lstat(link.c_str(), &st) != 0, "the link is removed on exit");

    std::ifstream dumpFile(dump, std::ios::binary);
    const Bytes flash((std::istreambuf_iterator<char>(dumpFile)), std::istreambuf_iterator<char>());
    check(flash.size() == 0x20000, "dump holds 128 KiB");
    if (flash.size() == 0x20000) {
        check(std::equal(block.begin(), block.end(), flash.begin() + 0xC000),
              "dump holds the programmed block at 0x10000");
        check(std::equal(row.begin() + 2, row.begin() + 18, flash.begin() + 0x10),
              "dump holds the acknowledged row at 0x4010");
        check(flash[0x1000] == 0xFF && flash[0x400] == 0xFF && flash[0x1FFFF] == 0xFF,
              "refused blocks and untouched flash read FF");
    }

    std::ifstream logFile(log);
    std::stringstream transcript;
    transcript << logFile.rdbuf();
    const std::string t = transcript.str();
    for (const char* line :
         {"rx kind=connect len=11 baud=9600 word=QZ~FLASHU hex=515A7E464C41534855",
          "rx kind=program len=1032 baud=38400 letters=PG addr=0x010000 check=ok",
          "rx kind=program len=1032 baud=38400 letters=PG addr=0x004400 check=bad",
          "tx kind=program len=1036 status=E fault=program@0x5000=status:E",
          "rx kind=text len=4 baud=4800 word=END hex=00000D0A",
          "tx kind=pin len=0 status=- fault=pin=silent", "end reason=signal"}) {
        check(t.find(line) != std::string::npos, std::string("transcript holds '") + line + "'");
    }
    std::remove(dump.c_str());
    std::remove(log.c_str());
    rmdir(dir.c_str());
    std::printf("sim_selftest: %zu exchanges, %d failures\n", cases.size() + 1, gFailures);
    return gFailures == 0 ? 0 : 1;
}
