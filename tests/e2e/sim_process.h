#pragma once
// The simulated flash loader as a child process: started with its options, it reports the
// pseudo-terminal to open; stopped, it leaves its transcript and its flash behind.

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class SimProcess {
  public:
    // Starts quorvel-loader-sim with `options` (plus --log and --dump into a private folder)
    // and waits for the line that names the port.
    explicit SimProcess(const QStringList& options = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return !slave_.isEmpty(); }
    QString slavePath() const { return slave_; }
    std::string slave() const { return slave_.toStdString(); }

    // Ends the simulator (if it has not ended by itself) and waits for it.
    void stop();
    // True when the simulator ends by itself (a close-after fault fired) within `ms`.
    bool endsByItself(int ms);

    // Transcript lines (after stop()).
    QStringList transcript() const;
    // Transcript lines that begin with `prefix`, e.g. "rx kind=erase".
    QStringList transcript(const QString& prefix) const;
    // The simulated flash 0x4000..0x23FFF (after stop()).
    QByteArray flash() const;

  private:
    QTemporaryDir dir_;
    QProcess process_;
    QString slave_;
    bool stopped_ = false;
};

// The path of the simulator and of the command-line tool, set by the build.
QString simulatorPath();
QString flashToolPath();

// The CHECK SUM of C000-FFFF of the default image (QUORVEL_DEFAULT_IMAGE_PATH), added up from
// its S-records apart from the tool, with the bytes no record fills counted as 0xFF.
inline constexpr char kDefaultImageChecksum[] = "30CBA8";
