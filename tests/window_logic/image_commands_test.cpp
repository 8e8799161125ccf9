// Start-up, the file-open command with its "Tavik" chaining, and the checksum box.

#include <QTemporaryDir>
#include <QtTest>

#include "checksum_command.h"
#include "com_list.h"
#include "command_fakes.h"
#include "image_file_open.h"
#include "start_up.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {
const QString kDataDir = QStringLiteral(QUORVEL_DATA_DIR);
// One S1 record at 0x4000 and one at 0x10000 (S2), then an end record.
const char kGoodMot[] =
    "S0030000FC\r\nS107400001020304AE\r\nS2090100001122334455F6\r\nS9030000FC\r\n";
const char kGoodHex[] = ":0440000001020304B2\r\n:00000001FF\r\n";
const char kBadSecondLine[] = "S107400001020304AE\r\nX\r\n";
}  // namespace

class ImageCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void comListEntries_data();
    void comListEntries();
    void startUpWithTheDefaultImage();
    void startUpWithACutDefaultImage();
    void startUpWithoutTheDefaultImage();
    void openImageFile_data();
    void openImageFile();
    void tavik_data();
    void tavik();
    void goodLoadFillsAnEmptyPortList();
    void checksumBox_data();
    void checksumBox();

  private:
    QString write(const QString& name, const char* text);
    QTemporaryDir dir_;
};

QString ImageCommandsTest::write(const QString& name, const char* text) {
    QFile file(dir_.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(text);
    return file.fileName();
}

void ImageCommandsTest::init() {
    QVERIFY(dir_.isValid());
}

void ImageCommandsTest::comListEntries_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("entry");
    QTest::newRow("1") << 1 << "COM  1";
    QTest::newRow("9") << 9 << "COM  9";
    QTest::newRow("10") << 10 << "COM 10";
    QTest::newRow("16") << 16 << "COM 16";
}

void ImageCommandsTest::comListEntries() {
    QFETCH(int, port);
    QFETCH(QString, entry);
    const std::vector<std::string> entries = ComListEntries();
    QCOMPARE(entries.size(), size_t(16));
    QCOMPARE(q(entries[size_t(port - 1)]), entry);
}

void ImageCommandsTest::startUpWithTheDefaultImage() {
    CommandRig rig;
    rig.image = MemoryImage();
    QVERIFY(FormLoad(rig.context, kDataDir.toStdString()));
    QCOMPARE(rig.prompt.shown.size(), size_t(0));
    QCOMPARE(rig.panel.comList, ComListEntries());
    QCOMPARE(rig.panel.comSelected, 0);
    QCOMPARE(rig.panel.comMenuChecked, 1);
    QVERIFY(!rig.panel.busy);
    QVERIFY(rig.image.anyRowFlagged());
}

void ImageCommandsTest::startUpWithACutDefaultImage() {
    CommandRig rig;
    QTemporaryDir program;  // a folder of its own: the other tests need none there
    QFile file(program.filePath(kDefaultImageName));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("S107400001020304AE\r\n") > 0);
    file.close();
    QVERIFY(FormLoad(rig.context, program.path().toStdString()));
    QCOMPARE(rig.boxes(), "Warning/" + program.path() + "/" + kDefaultImageName +
                              " has no end record (S7, S8 or S9): the file may be cut short");
    QCOMPARE(rig.prompt.shown[0].box.icon, PromptIcon::Exclamation);
    QVERIFY(!rig.prompt.shown[0].busy);
    QCOMPARE(rig.panel.comList, ComListEntries());  // start-up went on
    QCOMPARE(rig.panel.comMenuChecked, 1);
}

void ImageCommandsTest::startUpWithoutTheDefaultImage() {
    CommandRig rig;
    rig.image = MemoryImage();
    QVERIFY(!FormLoad(rig.context, dir_.path().toStdString()));
    QCOMPARE(rig.boxes().section("\r\n", 0, 0), QString("ERROR/File Open Error"));
    QCOMPARE(rig.prompt.shown[0].box.icon, PromptIcon::Critical);
    QVERIFY(rig.panel.comList.empty());
    QCOMPARE(rig.panel.comSelected, -1);
    QCOMPARE(rig.panel.comMenuChecked, 3);
    QVERIFY(!rig.panel.busy);
    QVERIFY(rig.image == MemoryImage());  // all 0, no flag
}

void ImageCommandsTest::openImageFile_data() {
    QTest::addColumn<QString>("name");  // empty: the dialog is cancelled
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("value4000");    // image byte at 0x4000 afterwards
    QTest::addColumn<QString>("caption");  // the file the caption names afterwards
    QTest::addColumn<QString>("more");     // the box's further lines; %1: the file's folder

    const int none = int(PromptIcon::None);
    const QString kept = "\r\nThe image loaded before stays in use: QUORVEL_140428_01_02.mot.";
    QTest::newRow("cancelled") << "" << QByteArray() << 0 << "" << none << 0x12 << ""
                               << "";
    QTest::newRow("S-record") << "a.mot" << QByteArray(kGoodMot) << 1 << "" << none << 0x01
                              << "a.mot"
                              << "";
    QTest::newRow("Intel HEX, capital extension")
        << "b.HEX" << QByteArray(kGoodHex) << 1 << "" << none << 0x01 << "b.HEX"
        << "";
    QTest::newRow("HEX text named .mot is read as S-records")
        << "c.mot" << QByteArray(kGoodHex) << 0 << "Error/Error Code = 9 ; 行番号 = 1"
        << int(PromptIcon::Exclamation) << 0x12 << ""
        << "%1/c.mot line 1: the line is empty or does not start with 'S' (code 9)" + kept;
    QTest::newRow("rejected second line")
        << "d.s19" << QByteArray(kBadSecondLine) << 0 << "Error/Error Code = 9 ; 行番号 = 2"
        << int(PromptIcon::Exclamation) << 0x12 << ""
        << "%1/d.s19 line 2: the line is empty or does not start with 'S' (code 9)" + kept;
    QTest::newRow("missing file") << "missing.mot" << QByteArray() << 0 << "ERROR/File Open Error"
                                  << int(PromptIcon::Critical) << 0x12 << ""
                                  << "cannot read %1/missing.mot: no such file" + kept;
    QTest::newRow("data only in 0xE000-0xFFFF")
        << "e.mot" << QByteArray("S107E000010203040E\r\nS9030000FC\r\n") << 1
        << "Warning/e.mot: nothing to write outside 0xE000–0xFFFF" << int(PromptIcon::Exclamation)
        << 0xFF << "e.mot"
        << "The write would send nothing: open the device's firmware file.";
    QTest::newRow("data in 0xE000-0xFFFF and below")
        << "g.mot" << QByteArray("S107400001020304AE\r\nS107E000010203040E\r\nS9030000FC\r\n") << 1
        << "Warning/" + dir_.filePath("g.mot") +
               " holds data at 0xE000–0xFFFF, which is never written to the device"
        << int(PromptIcon::Exclamation) << 0x01 << "g.mot"
        << "";
    // Cut at a line end: it loads, and then says that it may be cut short.
    QTest::newRow("S-record without its end record")
        << "c.mot" << QByteArray("S107400001020304AE\r\n") << 1
        << "Warning/" + dir_.filePath("c.mot") +
               " has no end record (S7, S8 or S9): the file may be cut short"
        << int(PromptIcon::Exclamation) << 0x01 << "c.mot"
        << "";
}

void ImageCommandsTest::openImageFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(int, result);
    QFETCH(QString, box);
    QFETCH(int, icon);
    QFETCH(int, value4000);
    QFETCH(QString, caption);
    QFETCH(QString, more);

    CommandRig rig;
    rig.context.imageFacts.path = "/opt/quorvel/QUORVEL_140428_01_02.mot";  // as start-up left it
    FixedChooser chooser;
    if (!name.isEmpty()) {
        chooser.path = text.isEmpty() ? dir_.filePath(name).toStdString()
                                      : write(name, text.constData()).toStdString();
    }
    RewriteSequence rewrite(rig.context);
    ImageFileOpen open(rig.context, chooser, rewrite);
    QCOMPARE(int(open.OpenImageFile()), result);
    QCOMPARE(rig.boxes().section("\r\n", 0, 0), box);
    QCOMPARE(rig.boxes().section("\r\n", 1), more.contains("%1") ? more.arg(dir_.path()) : more);
    if (!box.isEmpty()) {
        QCOMPARE(int(rig.prompt.shown[0].box.icon), icon);
        // A failure is reported under the hourglass; a warning comes after the load is done.
        QCOMPARE(rig.prompt.shown[0].busy, result == 0);
    }
    QCOMPARE(int(rig.image.value(1024, 0)), value4000);
    QCOMPARE(q(rig.panel.imageName), caption);
    QVERIFY(!rig.panel.busy);

    if (result == 1) {  // opening the same file again gives the same image
        const MemoryImage first = rig.image;
        rig.image.ClearImage();
        open.mnuOpen_Click();
        QVERIFY(rig.image == first);
    }
}

void ImageCommandsTest::tavik_data() {
    QTest::addColumn<QString>("file");  // "": cancelled, "good", "bad"
    QTest::addColumn<QString>("calls");
    QTest::newRow("cancelled") << ""
                               << "";
    QTest::newRow("load fails") << "bad"
                                << "";
    QTest::newRow("load succeeds") << "good"
                                   << "connect,erase,program,disconnect";
    // Said at the load, and again in the confirmation.
    QTest::newRow("data in 0xE000-0xFFFF too") << "gap"
                                               << "connect,erase,program,disconnect";
}

void ImageCommandsTest::tavik() {
    QFETCH(QString, file);
    QFETCH(QString, calls);
    CommandRig rig;
    rig.link.status = {{"connect", int16_t(3)}, {"erase", int16_t(4)}};
    FixedChooser chooser;
    if (file == "good") chooser.path = write("t.mot", kGoodMot).toStdString();
    if (file == "bad") chooser.path = write("t.mot", kBadSecondLine).toStdString();
    if (file == "gap") {
        chooser.path = write("t.mot", "S107400001020304AE\r\nS107E000010203040E\r\nS9030000FC\r\n")
                           .toStdString();
    }
    rig.link.during = [&](const std::string&) {
        QVERIFY(!rig.panel.isEnabled(ControlId::cmdTavik));
        QVERIFY(!rig.panel.isEnabled(ControlId::cmdMacro2));  // the rewrite runs as cmdMacro(2)
        QVERIFY(rig.panel.isEnabled(ControlId::cmdMacro0));
        QVERIFY(rig.panel.locked);
    };
    RewriteSequence rewrite(rig.context);
    ImageFileOpen(rig.context, chooser, rewrite).cmdTavik_Click();
    QCOMPARE(chooser.calls, 1);
    QCOMPARE(rig.link.callNames(), calls);
    if (!calls.isEmpty()) {
        QCOMPARE(rig.boxes().section('|', -1), QString("Finished/Rewriting success!"));
        const QString gap =
            "t.mot holds data at 0xE000–0xFFFF, which is never written to the device";
        const QString confirmation = q(rig.prompt.shown[file == "gap" ? 1 : 0].box.text);
        QCOMPARE(confirmation.endsWith("\r\n" + gap), file == "gap");
    }
    QVERIFY(rig.panel.restored());
}

void ImageCommandsTest::goodLoadFillsAnEmptyPortList() {
    CommandRig rig;
    FixedChooser chooser;
    RewriteSequence rewrite(rig.context);
    ImageFileOpen open(rig.context, chooser, rewrite);

    chooser.path = write("bad.mot", kBadSecondLine).toStdString();
    open.mnuOpen_Click();
    QVERIFY(rig.panel.comList.empty());

    chooser.path = write("good.mot", kGoodMot).toStdString();
    open.mnuOpen_Click();
    QCOMPARE(rig.panel.comList, ComListEntries());
    QCOMPARE(rig.panel.comSelected, 0);

    rig.panel.comSelected = 4;  // a later load leaves a filled list and its selection alone
    open.mnuOpen_Click();
    QCOMPARE(rig.panel.comList.size(), size_t(16));
    QCOMPARE(rig.panel.comSelected, 4);
}

void ImageCommandsTest::checksumBox_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    const int none = int(PromptIcon::None);
    const int bang = int(PromptIcon::Exclamation);
    const QString outside = "The range must lie within 4000 to 23FFF.";
    // The rig's image is cleared (FF) with 0x12 at 0x4000.
    QTest::newRow("initial range") << "C000"
                                   << "FFFF"
                                   << "3FC000" << none;
    QTest::newRow("small letters") << "c000"
                                   << "ffff"
                                   << "3FC000" << none;
    QTest::newRow("one byte") << "4000"
                              << "4000"
                              << "12" << none;
    QTest::newRow("start above stop") << "5000"
                                      << "4000"
                                      << "0" << none;
    QTest::newRow("below the image") << "3FFF"
                                     << "4000" << outside << bang;
    QTest::newRow("empty start") << ""
                                 << "FFFF" << outside << bang;
    QTest::newRow("beyond the image") << "23FFF"
                                      << "24000" << outside << bang;
}

void ImageCommandsTest::checksumBox() {
    QFETCH(QString, start);
    QFETCH(QString, stop);
    QFETCH(QString, text);
    QFETCH(int, icon);
    CommandRig rig;
    rig.panel.startText = start.toStdString();
    rig.panel.stopText = stop.toStdString();
    ChecksumCommand(rig.context).cmdCheckSum_Click();
    QCOMPARE(rig.boxes(), "CHECK SUM/" + text);
    QCOMPARE(int(rig.prompt.shown[0].box.icon), icon);
    QCOMPARE(rig.prompt.shown[0].box.buttons, PromptButtons::Ok);
}

QTEST_GUILESS_MAIN(ImageCommandsTest)
#include "image_commands_test.moc"
