// Renders the window as the end user sees it into <build>/window.png and checks that the
// client area has the designed size: 6240 x 2130 twips, 416 x 142 pixels at 96 dpi. Then, into
// <build>/window-writing.png, the window mid-way through writing a file it opened, with its
// caption; and the boxes of that write, its confirmation and its outcome with their facts.

#include <QPainter>
#include <QStyleOptionTitleBar>
#include <QTemporaryDir>
#include <QtTest>

#include "app_test_support.h"
#include "message_box_prompt.h"
#include "twips.h"

using namespace quorvel;
using namespace quorvel::test;

class ScreenshotTest : public QObject {
    Q_OBJECT
  private slots:
    void windowImage();
    void writingImage();
    void boxImages();
};

namespace {

// The offscreen platform draws no frame, so the caption is drawn above the grab as the style
// draws a title bar.
QPixmap withCaption(const QWidget& window, const QPixmap& content) {
    QStyleOptionTitleBar bar;
    bar.initFrom(&window);
    bar.text = window.windowTitle();
    bar.icon = window.windowIcon();
    bar.titleBarFlags =
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    bar.titleBarState = Qt::WindowActive;
    bar.state |= QStyle::State_Active;
    const int height = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &window);
    const QSize size = content.deviceIndependentSize().toSize();
    bar.rect = QRect(0, 0, size.width(), height);

    QPixmap out(QSize(size.width(), size.height() + height) * content.devicePixelRatio());
    out.setDevicePixelRatio(content.devicePixelRatio());
    QPainter painter(&out);
    window.style()->drawComplexControl(QStyle::CC_TitleBar, &bar, &painter, &window);
    painter.drawPixmap(0, height, content);
    return out;
}

}  // namespace

void ScreenshotTest::windowImage() {
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const qreal dpi = window.clientArea()->logicalDpiX();
    const QSize client(twipsToPixels(6240, dpi), twipsToPixels(2130, dpi));
    if (qFuzzyCompare(dpi, 96.0)) QCOMPARE(client, QSize(416, 142));

    const QPixmap clientImage = window.clientArea()->grab();
    QCOMPARE(clientImage.deviceIndependentSize().toSize(), client);

    const QPixmap whole = window.grab();
    QCOMPARE(whole.deviceIndependentSize().toSize(),
             QSize(client.width(), client.height() + window.menuBar()->height()));
    const QString path = QStringLiteral(QUORVEL_BUILD_DIR "/window.png");
    QVERIFY(whole.save(path));
    QVERIFY(QFileInfo(path).size() > 0);

    // The icon beside it, at its two sizes.
    const QIcon icon = window.windowIcon();
    QCOMPARE(icon.pixmap(QSize(32, 32)).deviceIndependentSize().toSize(), QSize(32, 32));
    QCOMPARE(icon.pixmap(QSize(16, 16)).deviceIndependentSize().toSize(), QSize(16, 16));
    QVERIFY(icon.pixmap(QSize(32, 32)).save(QStringLiteral(QUORVEL_BUILD_DIR "/icon.png")));
}

void ScreenshotTest::writingImage() {
    QTemporaryDir dir;
    const QString file = dir.filePath("fw.mot");
    QVERIFY(
        QFile::copy(QCoreApplication::applicationDirPath() + "/QUORVEL_140428_01_02.mot", file));
    Simulator sim({"--pace"});  // as slow as a real line, so that the bar can be caught mid-way
    QVERIFY(sim.started());
    RecordingPrompt prompt;
    ScriptedChooser chooser;
    chooser.path = file;
    frmMain window(testOptions(&prompt, &chooser));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.menu().mnuOpen->trigger();
    QCOMPARE(window.windowTitle(), QString("Quorvel Software Writer (Version 01.02) - fw.mot"));

    QProgressBar* bar = window.controls().ProgressBar1;
    QPixmap shot;
    QString text;
    QTimer sample;
    connect(&sample, &QTimer::timeout, [&] {
        const int percent = bar->value() * 100 / bar->maximum();
        if (!shot.isNull() || !bar->isVisible() || percent < 35 || percent > 80) return;
        text = bar->format();
        shot = withCaption(window, window.grab());
        window.close();  // the rest of the write is not needed: Yes to the close question
    });
    sample.start(50);
    window.controls().cmdMacro[0]->click();

    QVERIFY(!shot.isNull());
    QVERIFY2(text.contains('%') && text.contains("left"), qPrintable(text));
    QVERIFY(shot.save(QStringLiteral(QUORVEL_BUILD_DIR "/window-writing.png")));
}

// The confirmation and the outcome of a write of fw.mot, as their boxes show them, into
// <build>/window-confirm.png and <build>/window-outcome.png.
void ScreenshotTest::boxImages() {
    QTemporaryDir dir;
    const QString file = dir.filePath("fw.mot");
    QVERIFY(
        QFile::copy(QCoreApplication::applicationDirPath() + "/QUORVEL_140428_01_02.mot", file));
    Simulator sim;
    QVERIFY(sim.started());
    RecordingPrompt prompt;
    ScriptedChooser chooser;
    chooser.path = file;
    frmMain window(testOptions(&prompt, &chooser));
    window.menu().mnuOpen->trigger();
    window.controls().cmdMacro[0]->click();
    QCOMPARE(prompt.boxes(),
             "Rewriting of software/Please never turn off power while rewriting.\r\n"
             "Click the OK button to begin rewriting.|Finished/Rewriting success!");
    for (const auto& [index, name] : {std::pair{0, "confirm"}, std::pair{1, "outcome"}}) {
        QMessageBox box(&window);
        ConfigureMessageBox(box, prompt.shown[size_t(index)]);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QString path = QStringLiteral(QUORVEL_BUILD_DIR "/window-%1.png").arg(name);
        QVERIFY(box.grab().save(path));
        QVERIFY(QFileInfo(path).size() > 0);
    }
}

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
