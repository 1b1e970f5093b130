#include "browse/FileInfoText.h"
#include "browse/PictureLoading.h"
#include "browse/ViewingModes.h"
#include "show/FullScreenView.h"
#include "support/TestDesktop.h"

#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTest>

class TestViewingModes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clickShowsThePictureFittedWithItsInformation();
    void actualSizeZoomsWithoutBoundsBelowAndRefusesAbove();
    void stretchedFillsThePictureArea();
    void modesSetMenusCursorsAndLabels();
    void clicksFollowTheMode();
    void unreadableFilesAreReportedAndTheBrowserStartsOver_data();
    void unreadableFilesAreReportedAndTheBrowserStartsOver();

private:
    Form1Controls &start() { return m_desktop->started(m_folder).controls(); }
    void select(const QString &name);

    std::unique_ptr<TestDesktop> m_desktop;
    QString m_folder;
};

void TestViewingModes::init()
{
    m_desktop = std::make_unique<TestDesktop>();
    m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Pictures"));
    const QColor colour(30, 120, 200);
    m_desktop->makePicture(m_folder + QStringLiteral("/big.bmp"), 1024, 768, colour);
    m_desktop->makePicture(m_folder + QStringLiteral("/small.bmp"), 100, 50, colour);
    m_desktop->makePicture(m_folder + QStringLiteral("/tall.bmp"), 300, 770, colour);
}

void TestViewingModes::cleanup()
{
    m_desktop.reset();
}

// The events a double-click brings: press, release, the double-click, release.
void doubleClick(QWidget &widget, QPoint at)
{
    const QPointF local(at);
    const QPointF global(widget.mapToGlobal(at));
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
}

// Clicks the entry with the mouse, as a user does.
void TestViewingModes::select(const QString &name)
{
    Form1Controls &c = m_desktop->controls();
    c.File1->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(c.File1->window()));
    int row = 0;
    while (row < c.File1->listCount() && c.File1->entry(row) != name)
        ++row;
    QVERIFY(row < c.File1->listCount());
    const QModelIndex index = c.File1->model()->index(row, 0);
    c.File1->scrollTo(index);
    QTest::mouseClick(c.File1->viewport(), Qt::LeftButton, {}, c.File1->visualRect(index).center());
    QCOMPARE(c.File1->fileName(), name);
}

void TestViewingModes::clickShowsThePictureFittedWithItsInformation()
{
    Form1Controls &c = start();
    QVERIFY(c.menus.auto1->isChecked());
    select(QStringLiteral("big.bmp"));
    const QString path = m_folder + QStringLiteral("/big.bmp");
    QCOMPARE(c.Label9->text(), QStringLiteral("1024 X 768"));
    QCOMPARE(c.Image1->width(), 449.f);
    QCOMPARE(c.Image1->height(), 336.75f);
    QVERIFY(c.Image1->isVisible() && c.Image1->stretch());
    QCOMPARE(c.Label7->text(), QStringLiteral("2304KB")); // 2,359,350 bytes
    QVERIFY(!c.Label8->text().isEmpty());
    QCOMPARE(m_desktop->controls().Label3->text(), path);
    QCOMPARE(c.Label2->window()->windowTitle(), titleFor(path));

    // The arrow keys load each picture in turn.
    c.File1->setFocus();
    QTest::keyClick(c.File1, Qt::Key_Down);
    QCOMPARE(c.Label3->text(), m_folder + QStringLiteral("/small.bmp"));
    QTest::keyClick(c.File1, Qt::Key_Down);
    QCOMPARE(c.Image1->width(), 150.f);
    QCOMPARE(c.Image1->height(), 385.f);
    QCOMPARE(c.Label9->text(), QStringLiteral("300 X 770"));
}

void TestViewingModes::actualSizeZoomsWithoutBoundsBelowAndRefusesAbove()
{
    Form1 &form = m_desktop->started(m_folder);
    Form1Controls &c = form.controls();
    select(QStringLiteral("big.bmp"));
    c.menus.Act1->click();
    QCOMPARE(c.Image1->rect(), QRectF(0, 0, 1024, 768));
    QVERIFY(!c.Image1->stretch());
    QVERIFY(!c.HScroll1->isHidden() && !c.VScroll1->isHidden());

    c.menus.In1->click();
    c.menus.Out1->click();
    QCOMPARE(c.Image1->width(), static_cast<float>(1024 * 1.3 - 1024 * 1.3 * 0.3));
    QVERIFY(qAbs(c.Image1->width() / 1024.f - 0.91f) < 1e-5f);
    c.menus.normal1->click();
    QCOMPARE(c.Image1->width(), 1024.f);

    for (int i = 0; i < 200; ++i)
        c.menus.Out1->click();
    QVERIFY(c.Image1->width() < 1e-20f); // towards zero, no minimum
    c.menus.normal1->click();
    for (int i = 0; i < 200; ++i)
        c.menus.In1->click();
    QVERIFY(c.Image1->width() <= ViewingModes::kLargestSide);
    QVERIFY(c.Image1->width() > ViewingModes::kLargestSide / 1.3f);
    // The panel can still paint the giant picture: only what is visible is drawn.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage shot = c.Picture5->grab().toImage();
    QCOMPARE(shot.pixelColor(c.Picture5->contentsRect().center()), QColor(30, 120, 200));
}

void TestViewingModes::stretchedFillsThePictureArea()
{
    Form1Controls &c = start();
    select(QStringLiteral("small.bmp"));
    c.menus.Act1->click();
    c.menus.In1->click();
    c.menus.St1->click();
    QCOMPARE(c.Image1->rect(), QRectF(0, 0, 449, 385));
    QVERIFY(c.Image1->stretch());
    // A new picture is stretched over the same area.
    select(QStringLiteral("big.bmp"));
    QCOMPARE(c.Image1->rect(), QRectF(0, 0, 449, 385));
    QCOMPARE(c.Label9->text(), QStringLiteral("449 X 385"));
    QVERIFY(c.Label9->isHidden() && !c.Label10->isHidden());
    // Back to Actual Size reloads at the natural size, and the panel shows it so.
    c.menus.Act1->click();
    QCOMPARE(c.Image1->rect(), QRectF(0, 0, 1024, 768));
    // Painted as part of the window, the way the screen gets it: the panel sits away
    // from the window's corner, which must not cut the picture short.
    QWidget *window = c.Picture5->window();
    const QImage shot = window->grab().toImage();
    const QPoint panel = c.Picture5->mapTo(window, QPoint(2, 2));
    for (const QPoint at : {QPoint(300, 300), QPoint(440, 370), QPoint(10, 370)})
        QCOMPARE(shot.pixelColor(panel + at), QColor(30, 120, 200));
}

void TestViewingModes::modesSetMenusCursorsAndLabels()
{
    // With nothing selected, changing modes loads nothing.
    Form1Controls &c = start();
    QCOMPARE(c.File1->fileName(), QString());
    const Form1Menus &m = c.menus;
    struct Expectation {
        MenuItem *item;
        bool zoomEnabled;
        int cursor;
        bool sizeShown;
    };
    for (const Expectation &e :
         {Expectation{m.Act1, true, 99, true}, Expectation{m.St1, false, 0, false},
          Expectation{m.auto1, false, 0, true}}) {
        e.item->click();
        QCOMPARE(int(m.Act1->isChecked()) + int(m.auto1->isChecked()) + int(m.St1->isChecked()), 1);
        QVERIFY(e.item->isChecked());
        for (const MenuItem *zoom : {m.In1, m.Out1, m.normal1})
            QCOMPARE(zoom->isEnabled(), e.zoomEnabled);
        QCOMPARE(c.Image1->cursorCode(), e.cursor);
        QCOMPARE(c.Picture5->cursorCode(), e.cursor);
        QCOMPARE(!c.Label9->isHidden(), e.sizeShown);
        QCOMPARE(!c.Label10->isHidden(), !e.sizeShown);
        QCOMPARE(c.Image1->picture(), c.Picture2->picture());
        QVERIFY(c.Image1->isVisible());
    }
    QVERIFY(m_desktop->messages.shown.isEmpty());
}

void TestViewingModes::clicksFollowTheMode()
{
    Form1 &form = m_desktop->started(m_folder);
    Form1Controls &c = form.controls();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    select(QStringLiteral("small.bmp"));
    const QPoint onPicture = c.Picture5->contentsRect().topLeft() + QPoint(10, 10);
    const QPoint onPanel = c.Picture5->contentsRect().topLeft() + QPoint(300, 300);

    c.menus.Act1->click();
    QTest::mouseClick(c.Picture5, Qt::LeftButton, {}, onPanel);
    QCOMPARE(c.Image1->width(), 130.f);
    QTest::mouseClick(c.Picture5, Qt::LeftButton, {}, onPicture);
    QCOMPARE(c.Image1->width(), 91.f);
    // A double-click is one click and the double-click: one zoom step, not two.
    doubleClick(*c.Picture5, onPanel);
    QCOMPARE(c.Image1->width(), 118.3f);
    doubleClick(*c.Picture5, onPicture);
    QCOMPARE(c.Image1->width(), 82.81f);
    QVERIFY(!form.fullScreen().form());

    c.menus.St1->click();
    QTest::mouseClick(c.Picture5, Qt::LeftButton, {}, onPicture);
    QCOMPARE(c.Image1->rect(), QRectF(0, 0, 449, 385));
    QVERIFY(!form.fullScreen().form());

    c.menus.auto1->click();
    QTest::mouseClick(c.Picture5, Qt::LeftButton, {}, onPanel);
    QVERIFY(form.fullScreen().form());
}

void TestViewingModes::unreadableFilesAreReportedAndTheBrowserStartsOver_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text named .jpg") << QByteArray("just some notes, not a picture\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("damaged bitmap")
        << (QByteArray("BM\x10", 3) + QByteArray(3, '\0') + QByteArray("garbage"));
}

void TestViewingModes::unreadableFilesAreReportedAndTheBrowserStartsOver()
{
    QFETCH(QByteArray, content);
    m_desktop->makeFile(m_folder + QStringLiteral("/bad.jpg"), content);
    Form1Controls &c = start();
    c.Combo1->setText(QStringLiteral("*.jpg"));
    c.File1->selectFile(QStringLiteral("bad.jpg"));
    QCOMPARE(m_desktop->messages.shown, (QList<RecordedMessage>{{PictureLoading::kNotSupported, 0,
                                                                 QStringLiteral("Quorvel")}}));
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
    for (QLabel *label : {c.Label3, c.Label7, c.Label8, c.Label9})
        QCOMPARE(label->text(), QString());
    QCOMPARE(c.Label2->window()->windowTitle(), titleFor(m_folder));
}

QTEST_MAIN(TestViewingModes)
#include "tst_viewingmodes.moc"
