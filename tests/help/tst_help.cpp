#include "browse/Said.h"
#include "help/Form10.h"
#include "help/Form4.h"
#include "help/HelpMenu.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

// The tips, in reading order: four for the viewing panel, three for the full screen.
const QStringList kTips = {
    R"(In "Auto-Fit" Mode..You can One Click the picture for Full Screen View...)",
    "\"Pic's Size \" indicates the Actual Size of the Picture when \"Actual Size\" or \"Auto "
    "Fit\" is ticked",
    R"(In Any Viewing Mode.You can double click the filename for Full Screen View.)",
    R"("Zoom Options" will be enabled when Actual size Mode is ticked.)",
    R"(**Recommend Auto-Fit Mode)",
    R"(Auto-Fit will be used in any Full Screen Format)",
    R"(You can view any large image/picture clearly in Auto-Fit Mode without zooming the picture)",
};

class TestHelp : public FeatureTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { makeDesktop(u"P"_s); }

    void tipsPointToTheReadmeThenShowTheTipsWindow()
    {
        MenuItem *item = start().menus.tip;
        item->click();
        QCOMPARE(told(), (Said{{u"Please Read the Readme.txt for more details"_s, 0,
                                u"Tips on Readme.txt"_s}}));
        QPointer<Form10> tips = m_form->help().tipsWindow();
        QVERIFY(tips && tips->isVisible() && tips->windowTitle() == u"Tips + help "_s);

        QCOMPARE(tips->tipLabels.size(), kTips.size());
        for (int i = 0; i < kTips.size(); ++i) {
            const QLabel *tip = tips->tipLabels.at(i);
            QCOMPARE(tip->text(), kTips.at(i));
            QCOMPARE(tip->parentWidget(), i < 4 ? tips->Frame2 : tips->Frame3);
            // Whole, in reading order, inside its frame.
            QVERIFY(tip->parentWidget()->rect().contains(tip->geometry()));
            QVERIFY2(tip->height() >= tip->heightForWidth(tip->width()), qPrintable(tip->text()));
            if (i % 4 != 0 && i != 4)
                QVERIFY(tip->y() > tips->tipLabels.at(i - 1)->geometry().bottom());
        }
        QCOMPARE(textsOf(tips->Label8, tips->Label9),
                 (QStringList{"Viewing Panel:", "Full Screen View:"}));
        QVERIFY(!tips->Picture1->pixmap().isNull() && !tips->Picture2->pixmap().isNull());

        // Choosing it again shows the box again and the same window.
        item->click();
        QVERIFY(told().size() == 1 && m_form->help().tipsWindow() == tips.data());
        tips->close();
        QTRY_VERIFY(!tips);
    }

    void aboutShowsTheProgramWithoutInventedAddresses()
    {
        start().menus.About1->click();
        QPointer<Form4> about = m_form->help().aboutWindow();
        QVERIFY(about && about->isVisible() && about->windowTitle() == u"About..."_s);
        QCOMPARE(textsOf(about->Label1, about->Label4, about->Label5, about->Label6, about->Text1,
                         about->Text2),
                 (QStringList{"Quorvel 1.36 By Ana Ilić", "The Fastest Way to View Pictures!",
                              "HomePage:", "Email Address:", "none published yet",
                              "none published yet"}));
        QVERIFY(about->Label2->text().startsWith(u"WARNING: I am not responsible"_s));
        QVERIFY(about->Text1->isReadOnly() && about->Text2->isReadOnly());
        QVERIFY(!about->Image1->pixmap().isNull());
        // The title line is one whole line of 12-point bold in its 3495 x 375 twips.
        QCOMPARE(about->Label1->geometry(), QRect(88, 8, 233, 25));
        QCOMPARE(about->Label1->font().pointSize(), 12);
        QVERIFY(about->Label1->fontMetrics().horizontalAdvance(about->Label1->text()) <=
                about->Label1->width());

        // The separator: grey over white, from the left edge to 4680 twips.
        const QImage shot = about->grab().toImage();
        const QColor grey(128, 128, 128);
        QVERIFY(QColor(shot.pixel(10, 184)) == grey && QColor(shot.pixel(10, 185)) == Qt::white);
        QVERIFY(QColor(shot.pixel(311, 184)) == grey && QColor(shot.pixel(318, 184)) != grey);
    }

    void readmeShipsBesideTheProgramAndCoversItsSubjects()
    {
        QFile readme(u"" QUORVEL_PROGRAM_FOLDER "/Readme.txt"_s);
        QVERIFY2(readme.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(readme.fileName()));
        const QString text = QString::fromUtf8(readme.readAll());
        // What it reads, the modes and commands a user looks for, where things are kept.
        const QStringList subjects =
            u".bmp|.dib|.rle|.gif|.jpg|.ico|.cur|.wmf|.emf|Auto-Fit Size|Actual Size|"
            "Stretched Size|Full Screen View...|Win Mode SlideShow...|"
            "Full Screen SlideShow...|Adjust Speed...|Minimize to SysTray...|"
            "Go to \"Folder\" Now|Delete File...|Run File Now...|"
            "~/.config/Quorvel/registry.conf|AutoJump|TrayIcon|~/VozeviZire|trash"_s.split(u'|');
        for (const QString &subject : subjects)
            QVERIFY2(text.contains(subject), qPrintable(subject));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
