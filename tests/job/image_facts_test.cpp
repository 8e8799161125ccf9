// The facts that name a firmware file in the reports, the records and the questions: made when
// it loads, of the bytes that were loaded and written, not of whatever the file holds later.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image_identity.h"

namespace quorvel {
namespace {

TEST(ImageFacts, MadeOfTheBytesLoadedNotOfTheFileLater) {
    const std::string path = testing::TempDir() + "facts.mot";
    const auto write = [&](const char* text) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    };
    write("S9030000FC\r\n");
    LoadedImage loaded;
    ASSERT_TRUE(LoadImageWithFacts(path, loaded.image, loaded.facts).ok());
    write("changed");
    // printf 'S9030000FC\r\n' | sha256sum
    EXPECT_EQ(loaded.facts.sha256,
              "9cc8d2eb81757c4a6272ac8b22759b931a266622d76887b198937e8890117fd6");
    EXPECT_EQ(loaded.facts.path, path);
    EXPECT_EQ(loaded.facts.blocks, 0);
    // A failed load leaves the facts of the file before it.
    EXPECT_FALSE(LoadImageWithFacts(path, loaded.image, loaded.facts).ok());
    EXPECT_EQ(loaded.facts.sha256.substr(0, 4), "9cc8");
}

}  // namespace
}  // namespace quorvel
