#include "support/TestDesktop.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace {

QStringList captionsOf(const QList<QAction *> &actions, bool visibleOnly)
{
    QStringList captions;
    for (const QAction *action : actions) {
        if (visibleOnly && !action->isVisible())
            continue;
        captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return captions;
}

QMenu *submenu(Form1 &form, const char *name)
{
    return form.findChild<QMenu *>(QString::fromLatin1(name));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void menusAreBuiltFromTheTree();
    void slideShowItemsAreReadyButHidden();
    void controlsCarryTheirNamesAndPlaces();
};

void TestMainWindow::menusAreBuiltFromTheTree()
{
    TestDesktop desktop;
    Form1 &form = desktop.window(desktop.home());
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel 1.36"));
    QCOMPARE(captionsOf(form.menuBar()->actions(), true),
             (QStringList{"&File", "&Option   View", "&Help"}));
    QCOMPARE(form.menuBar()->actions().size(), 9);

    // Submenus two levels deep, each followed by items of the level above.
    QCOMPARE(captionsOf(submenu(form, "filemenu")->actions(), false),
             (QStringList{"Copy Pic To ...", "Copy File To  ...", "Paste To View", "-",
                          "Run File Now...", "Delete File...", "-", "Refresh Folder...",
                          "Minimize to SysTray...", "-", "Exit"}));
    QCOMPARE(captionsOf(submenu(form, "Copyto")->actions(), false), QStringList{"ClipBoard.."});
    QCOMPARE(captionsOf(submenu(form, "copy1")->actions(), false),
             (QStringList{"Temp ", "HomePage ", "For Work", "Personal ", "Future Use "}));
    QCOMPARE(captionsOf(submenu(form, "zoom1")->actions(), false),
             (QStringList{"Zoom in +", "Zoom out -", "UnZoom..."}));
    QCOMPARE(submenu(form, "optionmenu")->actions().size(), 15);
    QCOMPARE(captionsOf(submenu(form, "speed3")->actions(), false),
             (QStringList{"Fastest", "-", "Fast", "-", "Medium", "-", "Slow", "-", "Slowest"}));
    for (const QAction *action : form.findChildren<QAction *>())
        QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
}

void TestMainWindow::slideShowItemsAreReadyButHidden()
{
    TestDesktop desktop;
    Form1 &form = desktop.window(desktop.home());
    const Form1Menus &m = form.controls().menus;
    QStringList captions;
    for (const MenuItem *item : {m.pause1, m.play1, m.copyf, m.speed3, m.Tray1, m.stop1}) {
        QVERIFY2(!item->isVisible(), qPrintable(item->objectName()));
        captions.append(item->caption());
    }
    QCOMPARE(captions, (QStringList{"&Pause", "&Resume", "C&opy -> VozeviZire", "S&peed..",
                                    "SysTr&ay...", "&Cancel"}));

    // "C&opy" shares its key with "&Option   View": hidden, it must not take its turn.
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QMenu *options = submenu(form, "optionmenu");
    for (int press = 0; press < 3; ++press) {
        QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY2(options->isVisible(), qPrintable(QString::number(press)));
        options->close();
        QTRY_VERIFY(!options->isVisible());
    }
    m.copyf->setVisible(true);
    QCOMPARE(m.copyf->action()->text(), QStringLiteral("C&opy -> VozeviZire"));
}

void TestMainWindow::controlsCarryTheirNamesAndPlaces()
{
    TestDesktop desktop;
    Form1 &form = desktop.window(desktop.home());
    const Form1Controls &c = form.controls();
    for (const char *name :
         {"Image4",   "Drive1",   "Dir1",     "Combo1",   "File1",    "File2",    "File3",
          "Frame1",   "Label1",   "Label2",   "Label3",   "Label4",   "Label5",   "Label6",
          "Label7",   "Label8",   "Label9",   "Label10",  "Label11",  "Label12",  "Label13",
          "Picture1", "Picture2", "Picture3", "Picture4", "Picture5", "HScroll1", "VScroll1",
          "Image1",   "Timer1",   "Timer2"})
        QVERIFY2(form.findChild<QObject *>(QString::fromLatin1(name)), name);

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.centralWidget()->size(), QSize(632, 409));
    QCOMPARE(c.Picture5->geometry(), QRect(160, 0, 457, 393));
    QCOMPARE(c.Picture5->innerWidth(), 453);
    QCOMPARE(c.Picture5->innerHeight(), 389);
    QCOMPARE(c.HScroll1->geometry().top(), 392);
    QCOMPARE(c.VScroll1->geometry().left(), 616);
    QCOMPARE(c.Image1->width(), 449.f);
    QCOMPARE(c.Image1->height(), 385.f);
    QVERIFY(c.Label10->isHidden());
    QVERIFY(!c.Timer1->isEnabled());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    for (const PictureBox *stock : {c.Picture1, c.Picture2, c.Picture3, c.Picture4}) {
        QVERIFY(stock->isHidden());
        QVERIFY(stock->picture() && !stock->picture()->naturalSize().isEmpty());
    }
    QCOMPARE(c.Picture1->picture()->naturalSize(), QSize(199, 25));
    QCOMPARE(c.Picture2->picture()->naturalSize(), QSize(179, 36));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
