// The facts that name a firmware file in the JSON report and the record: its SHA-256 is of the
// bytes that were loaded and written, not of whatever the file holds by the time it is reported.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image_loader.h"
#include "json_run.h"

namespace quorvel::cli {
namespace {

TEST(ImageFacts, HashOfTheBytesLoadedNotOfTheFileLater) {
    const std::string path = testing::TempDir() + "facts.mot";
    const auto write = [&](const char* text) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    };
    write("S9030000FC\r\n");
    std::string bytes;
    MemoryImage image;
    ASSERT_TRUE(LoadImageFile(path, image, &bytes).ok());
    EXPECT_EQ(bytes, "S9030000FC\r\n");
    noteLoadedBytes(path, bytes);
    write("changed");
    // printf 'S9030000FC\r\n' | sha256sum
    EXPECT_EQ(imageFacts(path, image).sha256,
              "9cc8d2eb81757c4a6272ac8b22759b931a266622d76887b198937e8890117fd6");
}

}  // namespace
}  // namespace quorvel::cli
