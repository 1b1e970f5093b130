#include "support/TestDesktop.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

using namespace Qt::StringLiterals;

// Every entry of the menu tree as "level name caption", in order; separators read
// "-" only when they carry no text of their own.
void walkMenu(const QList<QAction *> &actions, int level, QStringList &rows)
{
    for (const QAction *action : actions) {
        const QString caption =
            action->isSeparator() ? QLatin1Char('-') + action->text() : action->text();
        rows.append(QStringLiteral("%1 %2 %3").arg(level).arg(action->objectName(), caption));
        if (action->menu())
            walkMenu(action->menu()->actions(), level + 1, rows);
    }
}

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void menusAreBuiltFromTheTree()
    {
        TestDesktop desktop;
        Form1 &form = desktop.window(desktop.home());
        QCOMPARE(form.windowTitle(), u"Quorvel 1.36"_s);

        // The slide-show entries show their access keys once they are on the bar.
        const Form1Menus &m = form.controls().menus;
        for (MenuItem *item : {m.pause1, m.play1, m.copyf, m.speed3, m.Tray1, m.stop1})
            item->setVisible(true);
        QStringList rows;
        walkMenu(form.menuBar()->actions(), 1, rows);
        // The entries, "|" apart.
        const QString expected =
            u"1 filemenu &File|2 Copyto Copy Pic To ...|3 clip1 ClipBoard..|"
            "2 copy1 Copy File To  ...|3 temp1 Temp |3 home1 HomePage |3 work1 For Work|"
            "3 per1 Personal |3 future1 Future Use |2 view2 Paste To View|2 line4 -|"
            "2 run1 Run File Now...|2 delete Delete File...|2 line8 -|"
            "2 refresh1 Refresh Folder...|2 systray Minimize to SysTray...|2 line5 -|"
            "2 exitmenu Exit|1 optionmenu &Option   View|2 zoom1 Zoom Picture|3 In1 Zoom in +|"
            "3 Out1 Zoom out -|3 normal1 UnZoom...|2 fullscreen1 Full Screen View...|"
            "2 line -|2 St1 Stretched Size|2 auto1 Auto-Fit Size|2 Act1 Actual Size|"
            "2 line2 -|2 fullscreen Full Screen SlideShow...|"
            "2 viewmenu Win Mode SlideShow...|2 adjustmenu Adjust Speed...|2 line3 -|"
            "2 startup Loading Option..|3 Jump1 Go to \"Folder\"|"
            "3 TrayMin1 Minimize to \"SysTray\"|2 line20 -|2 go1 View My \"VozeviZire\"|"
            "2 goto1 Go to \"Folder\" Now|"
            "1 help1 &Help|2 tip Tips...|2 About1 About...|"
            "1 pause1 &Pause|1 play1 &Resume|"
            "1 copyf C&opy -> VozeviZire|2 temp2 Temp|2 line15 -|2 home2 HomePage|2 line16 -|"
            "2 work2 For Work|2 line13 -|2 per2 Personal|2 line14 -|2 future2 Future Use|"
            "1 speed3 S&peed..|2 fastest1 Fastest|2 line11 -|2 fast1 Fast|2 line6 -|"
            "2 medium1 Medium|2 line7 -|2 slow1 Slow|2 line12 -|2 slowest1 Slowest|"
            "1 Tray1 SysTr&ay...|1 stop1 &Cancel"_s;
        QCOMPARE(rows.join('|'), expected);
        for (const QAction *action : form.findChildren<QAction *>())
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
    }

    void windowHasItsSizeStockPicturesAndAccessKeys()
    {
        TestDesktop desktop;
        Form1 &form = desktop.window(desktop.home());
        const Form1Controls &c = form.controls();
        const Form1Menus &m = c.menus;
        for (const MenuItem *item : {m.pause1, m.play1, m.copyf, m.speed3, m.Tray1, m.stop1})
            QVERIFY2(!item->isVisible(), qPrintable(item->objectName()));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.centralWidget()->size(), QSize(632, 409));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        // The stock pictures come from the program's resources.
        for (const PictureBox *stock : {c.Picture1, c.Picture2, c.Picture3, c.Picture4}) {
            QVERIFY(stock->isHidden());
            QVERIFY(stock->picture() && !stock->picture()->naturalSize().isEmpty());
        }

        // "C&opy" shares its key with "&Option   View": hidden, it must not take its turn.
        QMenu *options = form.findChild<QMenu *>(u"optionmenu"_s);
        for (int press = 0; press < 3; ++press) {
            QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);
            QTRY_VERIFY2(options->isVisible(), qPrintable(QString::number(press)));
            options->close();
            QTRY_VERIFY(!options->isVisible());
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
