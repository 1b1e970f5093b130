#include "browse/Said.h"
#include "support/GatedPictures.h"

#include <QFile>
#include <QKeyEvent>

namespace {

const QList<QColor> kColours{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};
const QByteArray kDamaged = QByteArray("BM\x10", 3) + QByteArray(3, '\0') + "garbage";

// The colour of the middle of the picture the panel holds.
QColor shownColour(Form1Controls &c)
{
    const PictureRef picture = c.Image1->picture();
    const QImage image = picture ? picture->toImage() : QImage();
    return picture ? image.pixelColor(image.width() / 2, image.height() / 2) : QColor();
}

void keyDown(FileListBox &list, bool repeat, QEvent::Type type = QEvent::KeyPress)
{
    QKeyEvent event(type, Qt::Key_Down, Qt::NoModifier, QString(), repeat);
    QCoreApplication::sendEvent(&list, &event);
}

} // namespace

class TestLookAhead : public FeatureTest {
    Q_OBJECT

    using State = PictureCache::State;

    std::optional<GatedPictures> m_gated;

    PictureCache &ahead() { return *m_desktop->pictureCache; }
    GatedPictures &gated() { return *m_gated; }
    State stateOf(int index) { return ahead().find(pathOf(index)).state; }
    [[nodiscard]] QString pathOf(int index) const { return m_folder + u"/p%1.bmp"_s.arg(index); }
    void waitUntilIdle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(ahead().decodesUnderWay() == 0 && !ahead().isReading(), 10000);
    }

private Q_SLOTS:
    void init()
    {
        m_gated.emplace();
        makeDesktop(u"Walk"_s);
        m_desktop->pictureSource = &*m_gated;
        for (int i = 0; i < kColours.size(); ++i)
            m_desktop->makePicture(pathOf(i), 40 + i, 30, kColours.at(i));
    }
    void cleanup()
    {
        // A decode held at the gate would keep the window from closing.
        gated().openAll();
        m_desktop.reset();
    }

    void neighboursAreReadAheadAndShownAsAClickWouldShowThem()
    {
        Form1Controls &c = start();
        c.File1->setCurrentRow(2);
        QCOMPARE(shownColour(c), kColours.at(2));
        for (const int neighbour : {0, 1, 3, 4})
            QTRY_COMPARE(stateOf(neighbour), State::Ready);
        QCOMPARE(stateOf(5), State::Unknown);

        const PictureRef ready = ahead().find(pathOf(3)).picture;
        c.File1->setCurrentRow(3);
        QVERIFY(c.Image1->picture() == ready && c.Label9->text() == "43 X 30" && shown().isEmpty());
        QCOMPARE(m_form->windowTitle(), titleFor(pathOf(3)));
        QTRY_COMPARE(stateOf(5), State::Ready);

        // Switched off, every step reads its own file and nothing is kept.
        ahead().setEnabled(false);
        c.File1->setCurrentRow(4);
        QCOMPARE(shownColour(c), kColours.at(4));
        QVERIFY(stateOf(5) == State::Unknown && ahead().keptBytes() == 0);
    }

    void aFileChangedSinceItWasReadShowsItsNewContent()
    {
        Form1Controls &c = start();
        c.File1->setCurrentRow(0);
        for (const int neighbour : {1, 2})
            QTRY_COMPARE(stateOf(neighbour), State::Ready);
        waitUntilIdle();
        m_desktop->makePicture(pathOf(1), 70, 50, Qt::darkGray);
        c.File1->setCurrentRow(1);
        QVERIFY(shownColour(c) == QColor(Qt::darkGray) && c.Label9->text() == "70 X 50");
        // Rewritten with the same length: only the modification time tells.
        m_desktop->makePicture(pathOf(2), 42, 30, Qt::white);
        QFile rewritten(pathOf(2));
        QVERIFY(rewritten.open(QIODevice::ReadWrite));
        QVERIFY(rewritten.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                      QFileDevice::FileModificationTime));
        c.File1->setCurrentRow(2);
        QVERIFY(shownColour(c) == QColor(Qt::white) && shown().isEmpty());
    }

    void aFileGoneOrDamagedSinceItWasReadGivesTheMessageAndTheReset()
    {
        for (const bool gone : {true, false}) {
            if (!gone)
                m_desktop->makeFile(pathOf(1), kDamaged);
            Form1Controls &c = start();
            c.File1->setCurrentRow(0);
            QTRY_COMPARE(stateOf(1), gone ? State::Ready : State::Failed);
            QVERIFY(gone || !ahead().find(pathOf(1)).picture);
            QVERIFY(!gone || QFile::remove(pathOf(1)));
            c.File1->setCurrentRow(1);
            QCOMPARE(told(), Said{kNotSupported});
            verifyStartedOver(c);
            QCOMPARE(entriesOf(*c.File1).contains(u"p1.bmp"_s), !gone);
            QVERIFY(!gone || stateOf(1) == State::Unknown);
        }
        // The damaged file, mended, shows.
        m_desktop->makePicture(pathOf(1), 41, 30, kColours.at(1));
        m_form->controls().File1->setCurrentRow(1);
        QVERIFY(shownColour(m_form->controls()) == kColours.at(1) && shown().isEmpty());
    }

    void decodesNobodyWantsNeverShow()
    {
        Form1Controls &c = start();
        gated().hold(pathOf(1));
        c.File1->setCurrentRow(0);
        QTRY_VERIFY(ahead().isReading());
        // Far away before the neighbour is read: its decode ends unseen and unkept.
        c.File1->setCurrentRow(5);
        gated().openAll();
        waitUntilIdle();
        QVERIFY(shownColour(c) == kColours.at(5) && c.Label3->text() == pathOf(5));
        QCOMPARE(stateOf(1), State::Unknown);
    }

    void theBudgetBoundsWhatIsKeptAndFavoursTheWayTheUserMoves()
    {
        Form1Controls &c = start();
        ahead().setBudget(6000); // room for one neighbour of about 5 KB, not two
        c.File1->setCurrentRow(1);
        c.File1->setCurrentRow(2);
        waitUntilIdle();
        QCOMPARE(stateOf(3), State::Ready);
        for (const int beyond : {0, 1, 4})
            QCOMPARE(stateOf(beyond), State::Unknown);
        QVERIFY(ahead().keptBytes() > 0 && ahead().keptBytes() <= ahead().budget());
        // Moving up, the one above is wanted first.
        c.File1->setCurrentRow(1);
        waitUntilIdle();
        QVERIFY(stateOf(0) == State::Ready && stateOf(2) == State::Unknown);
        QVERIFY(ahead().keptBytes() <= ahead().budget());
        // A budget too small for any neighbour keeps none.
        ahead().setBudget(100);
        QCOMPARE(ahead().keptBytes(), qint64(0));
        c.File1->setCurrentRow(2);
        waitUntilIdle();
        QVERIFY(ahead().keptBytes() == 0 && shownColour(c) == kColours.at(2));
    }

    void aHeldKeyShowsPicturesInOrderAndWaitsForNoDecodeOfAFilePassedBy()
    {
        m_desktop->makeFile(pathOf(3), "not a picture");
        Form1Controls &c = start();
        QList<int> order;
        QObject::connect(c.Image1, &PictureElement::appearanceChanged, c.Image1, [&] {
            const int index = static_cast<int>(kColours.indexOf(shownColour(c)));
            if (index >= 0 && (order.isEmpty() || order.constLast() != index))
                order.append(index);
        });
        gated().hold(pathOf(2));
        c.File1->setCurrentRow(0);
        QTRY_COMPARE(stateOf(1), State::Ready);
        keyDown(*c.File1, false); // p1, read ahead already
        QCOMPARE(shownColour(c), kColours.at(1));
        keyDown(*c.File1, true); // p2, held at the gate
        QCOMPARE(m_form->loading().awaited(), pathOf(2));
        // On a busy machine its decode may still be queued, and a queued one is dropped.
        QTRY_VERIFY(gated().loadsOf(pathOf(2)) > 0);
        for (int i = 0; i < 3; ++i) // p3, the bad file, passed by without a message
            keyDown(*c.File1, true);
        // The list and the information move with the key, the pictures follow.
        QVERIFY(c.File1->currentRow() == 5 && m_form->windowTitle() == titleFor(pathOf(5)));
        // Released while the passed-by decode still runs: the last file does not wait for it.
        keyDown(*c.File1, false, QEvent::KeyRelease);
        QTRY_COMPARE(shownColour(c), kColours.at(5));
        QVERIFY(c.Label9->text() == "45 X 30" && m_form->loading().awaited().isEmpty());
        QVERIFY(ahead().decodesUnderWay() > 0);
        gated().openAll();
        waitUntilIdle();
        QVERIFY(shownColour(c) == kColours.at(5) && !order.contains(2));
        for (int i = 1; i < order.size(); ++i)
            QVERIFY2(order.at(i - 1) < order.at(i), "a picture shown after a later one");
        QVERIFY(shown().isEmpty());

        // Stopping on the bad file gives its message once the key is let go.
        c.File1->setCurrentRow(1);
        keyDown(*c.File1, false);
        QCOMPARE(shownColour(c), kColours.at(2));
        keyDown(*c.File1, true);
        QVERIFY(c.Label3->text() == pathOf(3) && shown().isEmpty());
        keyDown(*c.File1, false, QEvent::KeyRelease);
        QTRY_COMPARE(shown(), Said{kNotSupported});
        QCOMPARE(c.Combo1->text(), u"ALL Readable Format"_s);
    }

    void aStepToALargePictureBeingReadAheadWaitsForThatDecode()
    {
        m_desktop->makePicture(pathOf(1), 1600, 1000, kColours.at(1)); // 6 MB
        Form1Controls &c = start();
        gated().hold(pathOf(1));
        c.File1->setCurrentRow(0);
        QTRY_COMPARE(stateOf(1), State::Reading);
        keyDown(*c.File1, false);
        // The information at once, the picture when the decode under way ends.
        QCOMPARE(m_form->windowTitle(), titleFor(pathOf(1)));
        QVERIFY(m_form->loading().awaited() == pathOf(1) && shownColour(c) == kColours.at(0));
        gated().openAll();
        QTRY_COMPARE(shownColour(c), kColours.at(1));
        QVERIFY(c.Label9->text() == "1600 X 1000" && m_form->loading().awaited().isEmpty());
        // A click does not wait for the look-ahead: its picture is read on the spot.
        gated().hold(pathOf(5));
        QTRY_COMPARE(stateOf(3), State::Ready);
        c.File1->setCurrentRow(3);
        QTRY_COMPARE(stateOf(5), State::Reading);
        c.File1->setCurrentRow(5);
        QCOMPARE(shownColour(c), kColours.at(5));
        QCOMPARE(gated().readOnUserThread(), (QStringList{pathOf(0), pathOf(5)}));
    }

    void theStartUpPictureIsDecodedAheadAndNeverWaitedFor_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"decoded", "decoding", "rewritten", "damaged"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void theStartUpPictureIsDecodedAheadAndNeverWaitedFor()
    {
        // Decoded before the click, still decoding at it, rewritten since it was decoded, damaged.
        QFETCH(QString, how);
        const bool rewritten = how == "rewritten", damaged = how == "damaged";
        const bool decodedBeforeTheClick = rewritten || how == "decoded";
        const QString named = pathOf(3);
        if (damaged)
            m_desktop->makeFile(named, kDamaged);
        // Asked for before the window is built, as for the picture named on the command line.
        Form1 &form = m_desktop->window(m_folder);
        Form1Controls &c = form.controls();
        gated().hold(named);
        ahead().hurry(named);
        if (decodedBeforeTheClick) {
            gated().openAll();
            QTRY_COMPARE(stateOf(3), State::Ready);
        }
        if (rewritten)
            m_desktop->makePicture(named, 70, 50, Qt::darkGray);

        (void)form.Form_Load(named);
        // The file's information at once, whether its picture is decoded or not.
        QVERIFY(c.Label3->text() == named && form.windowTitle() == titleFor(named));
        gated().openAll();
        if (damaged) {
            QTRY_COMPARE(shown(), Said{kNotSupported});
            QCOMPARE(c.Combo1->text(), u"ALL Readable Format"_s);
        } else {
            QTRY_COMPARE(shownColour(c), rewritten ? QColor(Qt::darkGray) : kColours.at(3));
            QVERIFY(c.Label9->text() == (rewritten ? u"70 X 50"_s : "43 X 30") &&
                    shown().isEmpty());
        }
        // Read on the user's thread only when it changed since it was decoded.
        QCOMPARE(gated().readOnUserThread(), rewritten ? QStringList{named} : QStringList());
    }
};

QTEST_MAIN(TestLookAhead)
#include "tst_lookahead.moc"
