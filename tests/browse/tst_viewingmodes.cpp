#include "browse/Said.h"
#include "browse/ViewingModes.h"
#include "show/FullScreenView.h"

#include <QApplication>
#include <QMouseEvent>

namespace {

const QColor kColour(30, 120, 200);

// The events a double-click brings: press, release, the double-click, release.
void doubleClick(QWidget &widget, QPoint at)
{
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
}

} // namespace

class TestViewingModes : public FeatureTest {
    Q_OBJECT

    // Clicks the entry with the mouse, as a user does.
    void select(const QString &name)
    {
        FileListBox &list = *m_form->controls().File1;
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
        const QModelIndex index = list.model()->index(int(entriesOf(list).indexOf(name)), 0);
        list.scrollTo(index);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(index).center());
        QCOMPARE(list.fileName(), name);
    }

private Q_SLOTS:
    void init()
    {
        makeDesktop(u"Pictures"_s);
        m_desktop->makePicture(m_folder + u"/big.bmp"_s, 1024, 768, kColour);
        m_desktop->makePicture(m_folder + u"/small.bmp"_s, 100, 50, kColour);
    }

    void modesSetMenusThenAClickShowsThePictureFittedAndActualSizeZoomsUnboundedBelow()
    {
        Form1Controls &c = start();
        QVERIFY(c.menus.auto1->isChecked());
        // With nothing selected, changing modes loads nothing.
        const Form1Menus &m = c.menus;
        // The mode, whether zooming is on, the cursor and whether the size is shown.
        for (const auto &[item, zoom, cursor, sizeShown] :
             {std::tuple{m.Act1, true, 99, true}, std::tuple{m.St1, false, 0, false},
              std::tuple{m.auto1, false, 0, true}}) {
            item->click();
            QCOMPARE(QList<bool>({m.Act1->isChecked(), m.auto1->isChecked(), m.St1->isChecked()}),
                     QList<bool>({item == m.Act1, item == m.auto1, item == m.St1}));
            for (const MenuItem *zoomItem : {m.In1, m.Out1, m.normal1})
                QCOMPARE(zoomItem->isEnabled(), zoom);
            QVERIFY(c.Image1->cursorCode() == cursor && c.Picture5->cursorCode() == cursor);
            QVERIFY(c.Label9->isHidden() != sizeShown && c.Label10->isHidden() == sizeShown);
            QVERIFY(c.Image1->picture() == c.Picture2->picture() && c.Image1->isVisible());
        }
        QVERIFY(shown().isEmpty());
        select(u"big.bmp"_s);
        const QString path = m_folder + u"/big.bmp"_s;
        QCOMPARE(textsOf(c.Label9, c.Label7, c.Label3),
                 (QStringList{"1024 X 768", "2304KB", path}));
        QCOMPARE(c.Image1->rect(), QRectF(0, 0, 449, 336.75));
        QVERIFY(c.Image1->isVisible() && c.Image1->stretch() && !c.Label8->text().isEmpty());
        QCOMPARE(m_form->windowTitle(), titleFor(path));

        c.menus.Act1->click();
        QCOMPARE(c.Image1->rect(), QRectF(0, 0, 1024, 768));
        QVERIFY(!c.Image1->stretch() && !c.HScroll1->isHidden() && !c.VScroll1->isHidden());
        c.menus.In1->click();
        c.menus.Out1->click();
        QCOMPARE(c.Image1->width(), static_cast<float>(1024 * 1.3 - 1024 * 1.3 * 0.3));
        c.menus.normal1->click();
        QCOMPARE(c.Image1->width(), 1024.f);
        for (int i = 0; i < 200; ++i)
            c.menus.Out1->click();
        QVERIFY(c.Image1->width() < 1e-20f); // towards zero, no minimum
        c.menus.normal1->click();
        for (int i = 0; i < 200; ++i)
            c.menus.In1->click();
        QVERIFY(c.Image1->width() <= ViewingModes::kLargestSide &&
                c.Image1->width() > ViewingModes::kLargestSide / 1.3f);
        // The panel can still paint the giant picture: only what is visible is drawn.
        const QImage shot = c.Picture5->grab().toImage();
        QCOMPARE(shot.pixelColor(c.Picture5->contentsRect().center()), kColour);
    }

    void clicksAndStretchingFollowTheMode()
    {
        Form1Controls &c = start();
        select(u"small.bmp"_s);
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
        // Zoomed, then stretched: the picture area, which a click leaves alone.
        c.menus.St1->click();
        QTest::mouseClick(c.Picture5, Qt::LeftButton, {}, onPicture);
        QVERIFY(c.Image1->rect() == QRectF(0, 0, 449, 385) && c.Image1->stretch() &&
                !m_form->fullScreen().form());
        // A new picture is stretched over the same area.
        select(u"big.bmp"_s);
        QVERIFY(c.Image1->rect() == QRectF(0, 0, 449, 385) && c.Label9->text() == "449 X 385");
        QVERIFY(c.Label9->isHidden() && !c.Label10->isHidden());
        // Back to Actual Size reloads at the natural size, and the panel shows it so.
        c.menus.Act1->click();
        QCOMPARE(c.Image1->rect(), QRectF(0, 0, 1024, 768));
        // Painted with the window, as on screen: the panel's offset must not cut it short.
        const QImage shot = m_form->grab().toImage();
        const QPoint panel = c.Picture5->mapTo(m_form, QPoint(2, 2));
        for (const QPoint at : {QPoint(300, 300), QPoint(440, 370), QPoint(10, 370)})
            QCOMPARE(shot.pixelColor(panel + at), kColour);
        c.menus.auto1->click();
        QTest::mouseClick(c.Picture5, Qt::LeftButton, {}, onPanel);
        QVERIFY(m_form->fullScreen().form());
    }

    void unreadableFilesAreReportedAndTheBrowserStartsOver()
    {
        // Text named .jpg, an empty file, a damaged bitmap.
        for (const QByteArray &content : {QByteArray("just some notes\n"), QByteArray(),
                                          QByteArray("BM\x10\0\0\0garbage", 13)}) {
            m_desktop->makeFile(m_folder + u"/bad.jpg"_s, content);
            Form1Controls &c = start();
            c.Combo1->setText(u"*.jpg"_s);
            c.File1->selectFile(u"bad.jpg"_s);
            QCOMPARE(told(), Said{kNotSupported});
            verifyStartedOver(c);
            QCOMPARE(m_form->windowTitle(), titleFor(m_folder));
        }
    }
};

QTEST_MAIN(TestViewingModes)
#include "tst_viewingmodes.moc"
