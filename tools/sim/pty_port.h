#pragma once
// The pseudo-terminal the simulated loader sits behind. The tool opens the slave side as its
// serial port; the loader reads and writes the master. The loader keeps a handle on the slave
// for its whole life, so the tool can open and close the port as often as it likes without
// the master seeing a hang-up, and so the tool's speed settings can be read back.

#include <string>

namespace quorvel::sim {

class PtyPort {
  public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Opens the pair, sets the slave raw and the master non-blocking.
    bool open(std::string& error);
    void close();

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // The speed the slave's settings hold now, in bit/s; 0 when it is not a standard speed.
    int lineSpeed() const;

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// A symbolic link `link` -> `target`, replacing an existing link (but never another file).
bool makePortLink(const std::string& link, const std::string& target, std::string& error);
// Removes `link` if it is still a symbolic link to `target`.
void removePortLink(const std::string& link, const std::string& target);

}  // namespace quorvel::sim
