// The frames and line records byte for byte, including the worked examples of the device's
// documentation (check bytes 0xBA, 0x86, 0xD7, 0xD5).

#include <QtTest>
#include <array>
#include <vector>

#include "line_records.h"
#include "long_frames.h"
#include "text_commands.h"

using namespace quorvel;

Q_DECLARE_METATYPE(std::vector<uint8_t>)

namespace {

std::array<uint8_t, frame::kSize> newFrame() {
    std::array<uint8_t, frame::kSize> f{};
    f.fill(0x5A);  // anything the builders must overwrite
    return f;
}

std::vector<uint8_t> head(const std::array<uint8_t, frame::kSize>& f, size_t n) {
    return std::vector<uint8_t>(f.begin(), f.begin() + static_cast<long>(n));
}

MemoryImage imageFilled(int startRow, uint8_t value) {
    MemoryImage image;
    image.ClearImage();
    for (int row = startRow; row < startRow + 64; ++row) {
        for (int c = 0; c < kRowBytes; ++c) image.setValue(row, c, value);
    }
    return image;
}

}  // namespace

class FrameBuildersTest : public QObject {
    Q_OBJECT

  private slots:
    void longFrames_data() {
        QTest::addColumn<int>("kind");  // 0 erase, 1 end, 2 program
        QTest::addColumn<int>("startRow");
        QTest::addColumn<int>("fill");
        QTest::addColumn<std::vector<uint8_t>>("begins");
        QTest::addColumn<int>("check");

        QTest::newRow("erase") << 0 << 0 << 0
                               << std::vector<uint8_t>{0xFF, 0xFE, 0x42, 0x45, 0x01, 0xC0,
                                                       0x00, 0x00, 0xC0, 0x00, 0x01, 0x00,
                                                       0x00, 0x01, 0x20, 0x00, 0x01, 0x40,
                                                       0x00, 0x00, 0x40, 0x00, 0xFF}
                               << 0xBA;
        QTest::newRow("end") << 1 << 0 << 0
                             << std::vector<uint8_t>{0xFF, 0xFE, 0x45, 0x44, 0xFF, 0xFF} << 0x86;
        QTest::newRow("program row 1024 all FF")
            << 2 << 1024 << 0xFF << std::vector<uint8_t>{0xFF, 0xFE, 0x50, 0x47, 0x00, 0x40, 0x00}
            << 0xD7;
        QTest::newRow("program row 9152 all 00")
            << 2 << 9152 << 0x00 << std::vector<uint8_t>{0xFF, 0xFE, 0x50, 0x47, 0x02, 0x3C, 0x00}
            << 0xD5;
        QTest::newRow("program row 4096 address")
            << 2 << 4096 << 0x00 << std::vector<uint8_t>{0xFF, 0xFE, 0x50, 0x47, 0x01, 0x00, 0x00}
            << ((0x50 + 0x47 + 0x01) & 0xFF);
    }
    void longFrames() {
        QFETCH(int, kind);
        QFETCH(int, startRow);
        QFETCH(int, fill);
        QFETCH(std::vector<uint8_t>, begins);
        QFETCH(int, check);
        auto f = newFrame();
        if (kind == 0) frame::BuildEraseFrame(f);
        if (kind == 1) frame::BuildEndFrame(f);
        if (kind == 2) {
            frame::BuildProgramFrame(imageFilled(startRow, static_cast<uint8_t>(fill)), startRow,
                                     f);
        }
        QCOMPARE(head(f, begins.size()), begins);
        QCOMPARE(int(f[frame::kSize - 1]), check);
        QCOMPARE(frame::CheckByte(f), f[frame::kSize - 1]);
        if (kind != 2) {
            for (size_t i = kind == 0 ? 22 : 4; i < frame::kSize - 1; ++i) QCOMPARE(f[i], 0xFF);
        }
    }

    void programFrameCarriesRowsInOrder() {
        MemoryImage image;
        image.ClearImage();
        for (int k = 0; k < 64; ++k) {
            for (int c = 0; c < kRowBytes; ++c) image.setValue(2048 + k, c, (k * 16 + c) & 0xFF);
        }
        auto f = newFrame();
        frame::BuildProgramFrame(image, 2048, f);
        for (int k = 0; k < 64; ++k) {
            for (int c = 0; c < kRowBytes; ++c) {
                QCOMPARE(int(f[static_cast<size_t>(7 + 16 * k + c)]), (k * 16 + c) & 0xFF);
            }
        }
        uint32_t sum = 0;
        for (size_t i = 2; i < frame::kSize - 1; ++i) sum += f[i];
        QCOMPARE(f[frame::kSize - 1], static_cast<uint8_t>(sum));
    }

    void lineRecords_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("built");
        QTest::addColumn<std::vector<uint8_t>>("begins");

        QTest::newRow("ERASE") << "ERASE" << 0 << true << std::vector<uint8_t>{1, 1, 13, 10};
        QTest::newRow("END") << "END" << 0 << true << std::vector<uint8_t>{0, 0, 13, 10};
        QTest::newRow("OK") << "OK" << 0 << true << std::vector<uint8_t>{0x4F, 0x4B, 13, 10};
        QTest::newRow("NG") << "NG" << 0 << true << std::vector<uint8_t>{0x4E, 0x47, 13, 10};
        QTest::newRow("row 1024") << "row" << 1024 << true
                                  << std::vector<uint8_t>{0x40, 0x00, 0x00, 0x01, 0x02};
        QTest::newRow("row 1025") << "row" << 1025 << true
                                  << std::vector<uint8_t>{0x40, 0x10, 0x10, 0x11, 0x12};
        QTest::newRow("row 4095") << "row" << 4095 << true
                                  << std::vector<uint8_t>{0xFF, 0xF0, 0xF0, 0xF1, 0xF2};
        QTest::newRow("row 4096 does not fit") << "row" << 4096 << false << std::vector<uint8_t>{};
        QTest::newRow("row 9215 does not fit") << "row" << 9215 << false << std::vector<uint8_t>{};
    }
    void lineRecords() {
        QFETCH(QString, record);
        QFETCH(int, row);
        QFETCH(bool, built);
        QFETCH(std::vector<uint8_t>, begins);
        MemoryImage image;
        image.ClearImage();
        for (int r = kFirstRow; r <= kLastRow; ++r) {
            for (int c = 0; c < kRowBytes; ++c)
                image.setValue(r, c, ((r - kFirstRow) * 16 + c) & 0xFF);
        }
        std::array<uint8_t, line::kSize> buffer{};
        buffer.fill(0x77);
        bool ok = true;
        if (record == "ERASE") line::BuildEraseFrame(buffer);
        if (record == "END") line::BuildEndFrame(buffer);
        if (record == "OK") line::SetLineOK(buffer);
        if (record == "NG") line::SetLineNG(buffer);
        if (record == "row") ok = line::BuildRowFrame(image, row, buffer);
        QCOMPARE(ok, built);
        const size_t written = record == "row" ? (built ? 18 : 0) : 4;
        QCOMPARE(
            std::vector<uint8_t>(buffer.begin(), buffer.begin() + static_cast<long>(begins.size())),
            begins);
        for (size_t i = written; i < line::kSize; ++i) QCOMPARE(buffer[i], 0x77);  // untouched
        if (record == "row" && built) {
            for (int c = 0; c < kRowBytes; ++c) {
                QCOMPARE(int(buffer[static_cast<size_t>(2 + c)]), image.value(row, c));
            }
        }
    }

    void compareReply_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("differAt");  // -1: an exact echo
        QTest::addColumn<int>("expected");
        QTest::newRow("echo at 23") << 43 << 23 << -1 << 1;
        QTest::newRow("longer answer") << 60 << 23 << -1 << 1;
        QTest::newRow("first byte differs") << 43 << 23 << 23 << 0;
        QTest::newRow("entry 19 differs") << 43 << 23 << 42 << 0;
        QTest::newRow("one byte short") << 42 << 23 << -1 << -1;
        QTest::newRow("negative index") << 43 << -1 << -1 << -1;
    }
    void compareReply() {
        QFETCH(int, length);
        QFETCH(int, index);
        QFETCH(int, differAt);
        QFETCH(int, expected);
        std::array<uint8_t, line::kSize> buffer{};
        for (size_t i = 0; i < 20; ++i) buffer[i] = static_cast<uint8_t>(0xA0 + i);
        std::vector<uint8_t> received(static_cast<size_t>(length), 0x11);
        for (int i = 0; i < 20 && index >= 0 && index + i < length; ++i) {
            received[static_cast<size_t>(index + i)] = buffer[static_cast<size_t>(i)];
        }
        if (differAt >= 0) received[static_cast<size_t>(differAt)] ^= 0xFF;
        QCOMPARE(int(line::CompareReply(buffer, received, static_cast<int16_t>(index))), expected);
    }

    void textCommands_data() {
        QTest::addColumn<QString>("pin");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("start state") << "" << 3 << QByteArray("QZ~P3\r");
        QTest::newRow("pin 12 low") << "12" << 0 << QByteArray("QZ~P120\r");
        QTest::newRow("high") << "P4" << 1 << QByteArray("QZ~PP41\r");
        QTest::newRow("input") << "7" << 2 << QByteArray("QZ~P72\r");
    }
    void textCommands() {
        QFETCH(QString, pin);
        QFETCH(int, mode);
        QFETCH(QByteArray, expected);
        const std::string text = BuildPortCommand(pin.toStdString(), static_cast<PortMode>(mode));
        QCOMPARE(QByteArray::fromStdString(text), expected);
    }

    void connectCommands() {
        const ConnectCommand v105 = connectCommandFor(LoaderGeneration::V105);
        const ConnectCommand v106 = connectCommandFor(LoaderGeneration::V106);
        QCOMPARE(QByteArray::fromStdString(v105.text), QByteArray("QZ~FLASH\r\n"));
        QCOMPARE(v105.statusPosition, int16_t(10));
        QCOMPARE(v105.minimumReply, int16_t(14));
        QCOMPARE(QByteArray::fromStdString(v106.text), QByteArray("QZ~FLASHU\r\n"));
        QCOMPARE(v106.statusPosition, int16_t(11));
        QCOMPARE(v106.minimumReply, int16_t(15));
    }

    void portResultTexts() {
        const std::vector<std::pair<int16_t, std::string>> results = {
            {0, "OK"},     {1, "NG"},  {9, "L出力"}, {10, "H出力"}, {11, "L入力"},
            {12, "H入力"}, {8, "???"}, {2, "???"},   {-1, "???"}};
        for (const auto& [status, text] : results) QCOMPARE(portResultText(status), text);
    }
};

QTEST_APPLESS_MAIN(FrameBuildersTest)
#include "frame_builders_test.moc"
