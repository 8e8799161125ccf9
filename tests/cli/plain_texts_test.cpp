// Texts of the command line that scripts and technicians read: the SHA-256 that names a
// firmware file in the JSON report.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image_loader.h"
#include "json_run.h"
#include "sha256.h"

namespace quorvel::cli {
namespace {

TEST(Sha256, KnownDigestsAcrossTheBlockBoundaries) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
    };
    for (const auto& [text, digest] : cases) EXPECT_EQ(sha256Hex(text), digest) << text.size();
}

// A record must name the firmware that was written, even when the file changes meanwhile.
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
    EXPECT_EQ(imageFacts(path, image).sha256, sha256Hex("S9030000FC\r\n"));
}

}  // namespace
}  // namespace quorvel::cli
