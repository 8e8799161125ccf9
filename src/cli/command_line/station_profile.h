#pragma once
// A station's set-up kept in one file, a profile that a line engineer writes once (JSON):
//
//   {
//     "name": "line3",
//     "image": "/srv/firmware/QUORVEL_140428_01_02.mot",
//     "approved_sha256": ["5f1c0a9d7e3b2c4a6f8e0d1b3a5c7e9f1b2d4f6a8c0e2a4c6e8f0a1b3c5d7e9f"],
//     "ports": ["/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0"],
//     "record": "/var/lib/quorvel/line3.jsonl"
//   }
//
// and, when wanted, "log", "loader", "strict", "scan" and "rewrite", as the options of the
// same names. write --profile FILE runs with it; an option given on the command line wins over
// the profile's. Whatever image is written, its SHA-256 must be one the profile approves: the
// profile is what keeps a wrong image off a shift of boards.

#include <string>

#include "cli_options.h"

namespace quorvel::cli {

// Reads the profile at `path` (only when no other user can change it, see careful_read.h) and
// puts what it says into `options` where the command line gave nothing: the image as FILE, the
// ports, the record and the rest (paths relative to the profile's folder made whole); the
// approved SHA-256 values (lower case) and its name (the file's base name when it gives none)
// always. False with `problem` set, naming the path and the line ("line3.json line 4: ..."),
// when it cannot be read, is not JSON, has a key no profile knows or one twice, a value of the
// wrong kind, no image or ports, a port twice, a SHA-256 that is not 64 hexadecimal digits, or
// a record URI with a password in it.
bool applyStationProfile(const std::string& path, CliOptions& options, std::string& problem);

// Why the image with `sha256` may not be written under the profile in `options`, or empty when
// it may (or no profile is used): "fw.mot (SHA-256 5f1c0a9d7e3b) is not approved by
// line3.json, which approves 1a2b3c4d5e6f, 77aa00112233".
std::string unapprovedImage(const CliOptions& options, const std::string& sha256);

}  // namespace quorvel::cli
