#pragma once
// What records asks of a line's database: the sums of a summary, made where the rows are, so
// that a year of a busy line is not fetched to be counted. The rule is the one the file reader
// follows: an attempt counts once, with its final line's outcome; a started line with no final
// line counts as interrupted; a unit is first tried where its earliest attempt started, and is
// written once any attempt at it succeeded. Only the rows a summary lists (the attempts that
// were not a success) are fetched whole.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <string>
#include <vector>

#include "outcome_words.h"
#include "record_filter.h"

namespace quorvel {

// The conditions on the table's columns that keep to the rows whose `started` lies from `since`
// (inclusive) to `until` (exclusive) and that `filter` matches ("true" when none); an invalid
// bound is none. The values asked for are added to `values`, in the order of their marks, never
// put in the text.
QString recordsWhere(const QDateTime& since, const QDateTime& until, const RecordFilter& filter,
                     std::vector<QVariant>& values);

// The statements that make the table of attempts beside the record table (one row per attempt,
// kept by a trigger), fill it with the rows already there, to be run with the record table's
// in one transaction by its owner. records reads it where it is, and makes the same rows itself
// where it is not.
QStringList attemptTableStatements();

struct DatabaseSums {
    // The attempts by image (its path and SHA-256), by port (its name and host) or by hour of
    // their start (UTC, "2026-03-02T08"; empty when none), and outcome, in the order their first
    // attempts were read.
    struct Group {
        std::string name;
        std::string detail;
        OutcomeSeverity severity;
        long long attempts;
    };
    std::vector<Group> images;
    std::vector<Group> ports;
    std::vector<Group> hours;
    // The units by the image (its path and SHA-256) or the port (its name and host) of their
    // first attempt: how many, how many that attempt wrote, how many were written in the end.
    struct Units {
        bool byPort;
        std::string name;
        std::string detail;
        long long units;
        long long firstPass;
        long long written;
    };
    std::vector<Units> units;
    // The successful writes' seconds, one entry per tenth of a second they fall in (the last
    // holds 999.9 s and longer): how many, the shortest and the longest.
    struct Times {
        long long devices;
        double shortest;
        double longest;
    };
    std::vector<Times> times;
    std::vector<std::string> unitsNotWritten;  // in the order first seen
    std::vector<long long> unread;             // the ids of rows that are no record, in order
    // The lines of the attempts that started first and last; empty when none has a time.
    std::string firstLine;
    std::string lastLine;
};

// An attempt that was not a success: its final line, or its started line when it has none
// (`unfinished`), with its row's id (its place in the order read) and whether its unit (when it
// names one) was written in the end.
struct DatabaseAttempt {
    std::string line;
    long long id;
    bool unfinished;
    bool unitWritten;
};

// Sums the attempts stored in the database at `uri` that started from `since` to `until` and
// that `filter` matches into `sums`, and hands every attempt among them that was not a success
// to `notWritten`, in the order they are counted (the attempts without a final row last). Empty, or
// why the database could not be read.
std::string sumDatabase(const std::string& uri, const QDateTime& since, const QDateTime& until,
                        const RecordFilter& filter, DatabaseSums& sums,
                        const std::function<void(const DatabaseAttempt&)>& notWritten);

}  // namespace quorvel
