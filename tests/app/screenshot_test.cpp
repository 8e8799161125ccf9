// Renders the window as the end user sees it into <build>/window.png and checks that the
// client area has the designed size: 6240 x 2130 twips, 416 x 142 pixels at 96 dpi.

#include <QtTest>

#include "app_test_support.h"
#include "twips.h"

using namespace quorvel;
using namespace quorvel::test;

class ScreenshotTest : public QObject {
    Q_OBJECT
  private slots:
    void windowImage();
};

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

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
