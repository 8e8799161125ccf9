#pragma once
// records --html FILE: the summary as one web page for the production supervisor, to open in
// any browser on a PC without a network: totals and yield, yield per fixture (host and port),
// image and hour, the attempts not written grouped by cause, the write times, the units not
// written and the devices interrupted. The page loads nothing (its policy forbids it) and runs
// no script; every text from the records is escaped. Each figure shown carries the place of its
// value in the records --json summary (data-figure="ports.0.yield"), so that the page can be
// checked against it.

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::cli {

// The page for `summary` (the result of records --json) read from `files`, of the attempts
// `filters` names (RecordFilter::text()).
QByteArray htmlReport(const QJsonObject& summary, const std::vector<std::string>& files,
                      const std::string& filters);

// The report's file: opened before any record is read, and left as it was until the whole
// page is made, which then replaces its content in one write.
class HtmlReportFile {
  public:
    // Opens `path` (safe_file.h), creating it when missing. Empty, or why not: it is not a
    // regular file (a folder, a device, a pipe), lies where another user could have put it, or
    // cannot be written.
    std::string open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    // Writes `page` and puts it in place; empty, or why not.
    std::string save(const QByteArray& page);

  private:
    std::string path_;
    std::unique_ptr<QFile> file_;
};

}  // namespace quorvel::cli
