#pragma once
// The file-open dialog as the file-open command uses it.

#include <string>

namespace quorvel {

class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // Full path of an existing file the operator chose, empty when the dialog was cancelled.
    virtual std::string chooseImageFile() = 0;
};

}  // namespace quorvel
