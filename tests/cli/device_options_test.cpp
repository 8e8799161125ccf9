// What the device commands refuse on their command line before any port is opened: a pin the
// loader cannot answer in place, and two --port values that reach the same device.

#include "device_options.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::cli;

namespace {

namespace fs = std::filesystem;

struct PinCase {
    std::string pin;
    bool accepted;
};

TEST(DeviceOptions, PinTextTheLoaderCanAnswer) {
    const std::vector<PinCase> cases = {
        {"", true},      {"3", true},      {"31", true},     {"P1 2", true},
        {"1234", true},  {"12345", false}, {"3\r", false},   {"3\r\n", false},
        {"\n", false},   {"1\t", false},   {"A\x7F", false}, {std::string(1, '\0'), false},
        {"\x1B", false}, {"~ ", true},
    };
    for (const PinCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.pin));
        CliOptions options;
        options.command = "pin";
        options.pin = c.pin;
        std::string error;
        const std::vector<DevicePort> devices = devicePortsFor(options, commandOf(options), error);
        EXPECT_EQ(devices.size(), c.accepted ? 1u : 0u);
        EXPECT_EQ(error.empty(), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(devices.front().settings.pinText, c.pin);
        }
    }
}

class SameDevice : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quorvel_same_device_" +
                std::to_string(testing::UnitTest::GetInstance()->random_seed()));
        fs::create_directories(dir_ / "sub");
        std::ofstream(dir_ / "ttyA").put('a');
        std::ofstream(dir_ / "ttyB").put('b');
        fs::create_symlink(dir_ / "ttyA", dir_ / "linkA");
        qputenv("QUORVEL_COM7", QByteArray::fromStdString((dir_ / "ttyA").string()));
        qputenv("QUORVEL_COM8", QByteArray::fromStdString((dir_ / "linkA").string()));
        qputenv("QUORVEL_COM9", QByteArray::fromStdString((dir_ / "ttyB").string()));
    }
    void TearDown() override {
        qunsetenv("QUORVEL_COM7");
        qunsetenv("QUORVEL_COM8");
        qunsetenv("QUORVEL_COM9");
        fs::remove_all(dir_);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

struct PortsCase {
    const char* name;
    std::vector<std::string> ports;
    std::string error;  // empty: accepted
};

TEST_F(SameDevice, TwoPortsMustReachTwoDevices) {
    const std::string a = path("ttyA");
    const std::string same = "(" + fs::canonical(a).string() + ")";
    const std::vector<PortsCase> cases = {
        {"two devices", {a, path("ttyB")}, ""},
        {"two COM numbers, two devices", {"COM7", "COM9"}, ""},
        {"a link to the other", {a, path("linkA")}, "--port " + a + " and --port " + path("linkA")},
        {"the path spelled another way",
         {path("sub/../ttyA"), a},
         "--port " + path("sub/../ttyA") + " and --port " + a},
        {"a COM number mapped to the path", {"COM7", a}, "--port COM7 and --port " + a},
        {"a COM number mapped to a link", {a, "COM8"}, "--port " + a + " and --port COM8"},
        {"the pair found among three", {"COM9", "COM7", "COM8"}, "--port COM7 and --port COM8"},
    };
    for (const PortsCase& c : cases) {
        SCOPED_TRACE(c.name);
        CliOptions options;
        options.command = "write";
        options.ports = c.ports;
        std::string error;
        const std::vector<DevicePort> devices = devicePortsFor(options, commandOf(options), error);
        if (c.error.empty()) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(devices.size(), c.ports.size());
        } else {
            EXPECT_TRUE(devices.empty());
            EXPECT_EQ(error, c.error + " reach the same device " + same);
        }
    }
}

}  // namespace
