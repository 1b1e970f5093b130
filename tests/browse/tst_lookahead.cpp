#include "browse/PictureLoading.h"
#include "support/GatedPictures.h"
#include "support/TestDesktop.h"

#include <QFile>
#include <QKeyEvent>
#include <QMutex>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QWaitCondition>

namespace {

const QList<QColor> kColours{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};

// The colour of the middle of the picture the panel holds.
QColor shownColour(Form1Controls &c)
{
    const PictureRef picture = c.Image1->picture();
    if (!picture)
        return {};
    const QImage image = picture->toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

void pressDown(FileListBox &list, bool repeat)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), repeat);
    QCoreApplication::sendEvent(&list, &press);
}

void releaseDown(FileListBox &list)
{
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), false);
    QCoreApplication::sendEvent(&list, &release);
}

} // namespace

class TestLookAhead : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void neighboursAreReadAheadAndShownAsAClickWouldShowThem();
    void aFileChangedSinceItWasReadShowsItsNewContent();
    void aFileGoneSinceItWasReadGivesTheMessageAndTheReset();
    void aBadFileReadAheadStillGivesTheMessage();
    void decodesNobodyWantsNeverShow();
    void theBudgetBoundsWhatIsKeptAndFavoursTheWayTheUserMoves();
    void aHeldKeyShowsPicturesInOrderAndEndsOnTheLast();
    void aHeldKeyWaitsForNoDecodeOfAFilePassedBy();
    void aStepToALargePictureBeingReadAheadWaitsForThatDecode();
    void theStartUpPictureIsDecodedAheadAndNeverWaitedFor_data();
    void theStartUpPictureIsDecodedAheadAndNeverWaitedFor();

private:
    Form1Controls &start();
    PictureCache &ahead() { return *m_desktop->pictureCache; }
    [[nodiscard]] QString pathOf(int index) const
    {
        return m_folder + QStringLiteral("/p%1.bmp").arg(index);
    }
    void waitUntilIdle(PictureCache &lookAhead)
    {
        QTRY_VERIFY_WITH_TIMEOUT(lookAhead.decodesUnderWay() == 0 && !lookAhead.isReading(), 10000);
    }

    std::unique_ptr<TestDesktop> m_desktop;
    QString m_folder;
    Form1 *m_form = nullptr;
    std::unique_ptr<GatedPictures> m_gatedPictures;
    GatedPictures &gated() { return *m_gatedPictures; }
};

void TestLookAhead::init()
{
    m_desktop = std::make_unique<TestDesktop>();
    m_gatedPictures = std::make_unique<GatedPictures>();
    m_desktop->pictureSource = m_gatedPictures.get();
    m_folder = m_desktop->makeFolder(m_desktop->home() + QStringLiteral("/Walk"));
    for (int i = 0; i < kColours.size(); ++i)
        m_desktop->makePicture(pathOf(i), 40 + i, 30, kColours.at(i));
}

void TestLookAhead::cleanup()
{
    // A decode held at the gate would keep the window from closing.
    gated().openAll();
    m_form = nullptr;
    m_desktop.reset();
    m_gatedPictures.reset();
}

Form1Controls &TestLookAhead::start()
{
    m_form = &m_desktop->started(m_folder);
    return m_form->controls();
}

void TestLookAhead::neighboursAreReadAheadAndShownAsAClickWouldShowThem()
{
    Form1Controls &c = start();
    c.File1->setCurrentRow(2);
    QCOMPARE(shownColour(c), kColours.at(2));
    for (const int neighbour : {0, 1, 3, 4})
        QTRY_COMPARE(ahead().find(pathOf(neighbour)).state, PictureCache::State::Ready);
    QCOMPARE(ahead().find(pathOf(5)).state, PictureCache::State::Unknown);

    const PictureRef ready = ahead().find(pathOf(3)).picture;
    c.File1->setCurrentRow(3);
    QCOMPARE(c.Image1->picture(), ready);
    QCOMPARE(c.Label9->text(), QStringLiteral("43 X 30"));
    QCOMPARE(c.Label3->text(), pathOf(3));
    QCOMPARE(c.Label2->window()->windowTitle(), titleFor(pathOf(3)));
    QVERIFY(m_desktop->messages.shown.isEmpty());
    // Moving on brings the next one in.
    QTRY_COMPARE(ahead().find(pathOf(5)).state, PictureCache::State::Ready);

    // Switched off, every step reads its own file and nothing is kept.
    ahead().setEnabled(false);
    c.File1->setCurrentRow(4);
    QCOMPARE(shownColour(c), kColours.at(4));
    QCOMPARE(ahead().find(pathOf(5)).state, PictureCache::State::Unknown);
    QCOMPARE(ahead().keptBytes(), qint64(0));
}

void TestLookAhead::aFileChangedSinceItWasReadShowsItsNewContent()
{
    Form1Controls &c = start();
    c.File1->setCurrentRow(0);
    QTRY_COMPARE(ahead().find(pathOf(1)).state, PictureCache::State::Ready);
    QTRY_COMPARE(ahead().find(pathOf(2)).state, PictureCache::State::Ready);
    waitUntilIdle(ahead());

    // Replaced by a larger picture.
    m_desktop->makePicture(pathOf(1), 70, 50, Qt::darkGray);
    c.File1->setCurrentRow(1);
    QCOMPARE(shownColour(c), QColor(Qt::darkGray));
    QCOMPARE(c.Label9->text(), QStringLiteral("70 X 50"));

    // Rewritten with the same length: only the modification time tells.
    m_desktop->makePicture(pathOf(2), 42, 30, Qt::white);
    QFile rewritten(pathOf(2));
    QVERIFY(rewritten.open(QIODevice::ReadWrite));
    QVERIFY(rewritten.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                  QFileDevice::FileModificationTime));
    rewritten.close();
    c.File1->setCurrentRow(2);
    QCOMPARE(shownColour(c), QColor(Qt::white));
    QVERIFY(m_desktop->messages.shown.isEmpty());
}

void TestLookAhead::aFileGoneSinceItWasReadGivesTheMessageAndTheReset()
{
    Form1Controls &c = start();
    c.File1->setCurrentRow(0);
    QTRY_COMPARE(ahead().find(pathOf(1)).state, PictureCache::State::Ready);
    QVERIFY(QFile::remove(pathOf(1)));
    c.File1->setCurrentRow(1);
    QCOMPARE(m_desktop->messages.shown, (QList<RecordedMessage>{{PictureLoading::kNotSupported, 0,
                                                                 QStringLiteral("Quorvel")}}));
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(c.File1->fileName(), QString());
    QVERIFY(!entriesOf(*c.File1).contains(QStringLiteral("p1.bmp")));
    QCOMPARE(ahead().find(pathOf(1)).state, PictureCache::State::Unknown);
}

void TestLookAhead::aBadFileReadAheadStillGivesTheMessage()
{
    m_desktop->makeFile(pathOf(1), QByteArray("BM\x10", 3) + QByteArray(3, '\0') + "garbage");
    Form1Controls &c = start();
    c.File1->setCurrentRow(0);
    QTRY_COMPARE(ahead().find(pathOf(1)).state, PictureCache::State::Failed);
    QVERIFY(!ahead().find(pathOf(1)).picture);
    c.File1->setCurrentRow(1);
    QCOMPARE(m_desktop->messages.shown, (QList<RecordedMessage>{{PictureLoading::kNotSupported, 0,
                                                                 QStringLiteral("Quorvel")}}));
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());

    // Mended since: it shows.
    m_desktop->makePicture(pathOf(1), 41, 30, kColours.at(1));
    c.File1->setCurrentRow(1);
    QCOMPARE(shownColour(c), kColours.at(1));
    QCOMPARE(m_desktop->messages.shown.size(), 1);
}

void TestLookAhead::decodesNobodyWantsNeverShow()
{
    Form1Controls &c = start();
    gated().hold(pathOf(1));
    c.File1->setCurrentRow(0);
    QTRY_VERIFY(ahead().isReading());
    // Far away before the neighbour is read: its decode ends unseen and unkept.
    c.File1->setCurrentRow(5);
    QCOMPARE(shownColour(c), kColours.at(5));
    gated().openAll();
    waitUntilIdle(ahead());
    QCOMPARE(shownColour(c), kColours.at(5));
    QCOMPARE(ahead().find(pathOf(1)).state, PictureCache::State::Unknown);
    QCOMPARE(c.Label3->text(), pathOf(5));
}

void TestLookAhead::theBudgetBoundsWhatIsKeptAndFavoursTheWayTheUserMoves()
{
    Form1Controls &c = start();
    // Room for one neighbour of about 5 KB, not two.
    ahead().setBudget(6000);
    c.File1->setCurrentRow(1);
    c.File1->setCurrentRow(2);
    waitUntilIdle(ahead());
    QCOMPARE(ahead().find(pathOf(3)).state, PictureCache::State::Ready);
    for (const int beyond : {0, 1, 4})
        QCOMPARE(ahead().find(pathOf(beyond)).state, PictureCache::State::Unknown);
    QVERIFY(ahead().keptBytes() > 0 && ahead().keptBytes() <= ahead().budget());

    // Moving up, the one above is wanted first.
    c.File1->setCurrentRow(1);
    waitUntilIdle(ahead());
    QCOMPARE(ahead().find(pathOf(0)).state, PictureCache::State::Ready);
    QCOMPARE(ahead().find(pathOf(2)).state, PictureCache::State::Unknown);
    QVERIFY(ahead().keptBytes() <= ahead().budget());

    // A budget too small for any neighbour keeps none.
    ahead().setBudget(100);
    QCOMPARE(ahead().keptBytes(), qint64(0));
    c.File1->setCurrentRow(2);
    waitUntilIdle(ahead());
    QCOMPARE(ahead().keptBytes(), qint64(0));
    QCOMPARE(shownColour(c), kColours.at(2));
}

void TestLookAhead::aHeldKeyShowsPicturesInOrderAndEndsOnTheLast()
{
    Form1Controls &c = start();
    QList<int> shown;
    QObject::connect(c.Image1, &PictureElement::appearanceChanged, c.Image1, [&] {
        const int index = static_cast<int>(kColours.indexOf(shownColour(c)));
        if (index >= 0 && (shown.isEmpty() || shown.constLast() != index))
            shown.append(index);
    });
    gated().hold(pathOf(2));
    c.File1->setCurrentRow(0);
    pressDown(*c.File1, false);
    QCOMPARE(c.File1->currentRow(), 1);
    for (int i = 0; i < 4; ++i)
        pressDown(*c.File1, true);
    // The list and the information move with the key, the pictures follow.
    QCOMPARE(c.File1->currentRow(), 5);
    QCOMPARE(c.Label3->text(), pathOf(5));
    QCOMPARE(c.Label2->window()->windowTitle(), titleFor(pathOf(5)));
    releaseDown(*c.File1);
    QTRY_COMPARE(shownColour(c), kColours.at(5));
    QCOMPARE(c.Label9->text(), QStringLiteral("45 X 30"));
    QCOMPARE(m_form->loading().awaited(), QString());
    gated().openAll();
    waitUntilIdle(ahead());
    QCOMPARE(shownColour(c), kColours.at(5));
    QVERIFY(!shown.contains(2));
    for (int i = 1; i < shown.size(); ++i)
        QVERIFY2(shown.at(i - 1) < shown.at(i), "a picture shown after a later one");
    QCOMPARE(shown.constLast(), 5);
    QVERIFY(m_desktop->messages.shown.isEmpty());
}

void TestLookAhead::aHeldKeyWaitsForNoDecodeOfAFilePassedBy()
{
    m_desktop->makeFile(pathOf(3), "not a picture");
    Form1Controls &c = start();
    gated().hold(pathOf(2));
    c.File1->setCurrentRow(0);
    QTRY_COMPARE(ahead().find(pathOf(1)).state, PictureCache::State::Ready);
    pressDown(*c.File1, false); // p1, read ahead already
    QCOMPARE(shownColour(c), kColours.at(1));
    pressDown(*c.File1, true); // p2, held at the gate
    QCOMPARE(m_form->loading().awaited(), pathOf(2));
    pressDown(*c.File1, true); // p3, the bad file, passed by without a message
    pressDown(*c.File1, true); // p4
    QCOMPARE(c.Label3->text(), pathOf(4));
    // Released while the passed-by decode still runs: the last file does not wait for it.
    releaseDown(*c.File1);
    QTRY_COMPARE(shownColour(c), kColours.at(4));
    QVERIFY(ahead().decodesUnderWay() > 0);
    QVERIFY(m_desktop->messages.shown.isEmpty());

    // Stopping on the bad file gives its message once the key is let go.
    gated().openAll();
    c.File1->setCurrentRow(1);
    pressDown(*c.File1, false);
    QCOMPARE(shownColour(c), kColours.at(2));
    pressDown(*c.File1, true);
    QCOMPARE(c.Label3->text(), pathOf(3));
    QVERIFY(m_desktop->messages.shown.isEmpty());
    releaseDown(*c.File1);
    QTRY_COMPARE(m_desktop->messages.shown.size(), 1);
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
}

void TestLookAhead::aStepToALargePictureBeingReadAheadWaitsForThatDecode()
{
    const QString large = m_folder + QStringLiteral("/p1.bmp");
    m_desktop->makePicture(large, 1600, 1000, kColours.at(1)); // 6 MB
    Form1Controls &c = start();
    gated().hold(large);
    c.File1->setCurrentRow(0);
    QTRY_COMPARE(ahead().find(large).state, PictureCache::State::Reading);
    pressDown(*c.File1, false);
    // The information at once, the picture when the decode under way ends.
    QCOMPARE(c.Label3->text(), large);
    QCOMPARE(c.Label2->window()->windowTitle(), titleFor(large));
    QCOMPARE(m_form->loading().awaited(), large);
    QCOMPARE(shownColour(c), kColours.at(0));
    gated().openAll();
    QTRY_COMPARE(shownColour(c), kColours.at(1));
    QCOMPARE(c.Label9->text(), QStringLiteral("1600 X 1000"));
    QCOMPARE(m_form->loading().awaited(), QString());
    // A click does not wait for the look-ahead: its picture is read on the spot.
    gated().hold(pathOf(5));
    QTRY_COMPARE(ahead().find(pathOf(3)).state, PictureCache::State::Ready);
    c.File1->setCurrentRow(3);
    QTRY_COMPARE(ahead().find(pathOf(5)).state, PictureCache::State::Reading);
    c.File1->setCurrentRow(5);
    QCOMPARE(shownColour(c), kColours.at(5));
    QCOMPARE(gated().readOnUserThread(), (QStringList{pathOf(0), pathOf(5)}));
}

void TestLookAhead::theStartUpPictureIsDecodedAheadAndNeverWaitedFor_data()
{
    QTest::addColumn<bool>("decodedBeforeTheClick");
    QTest::addColumn<bool>("rewritten");
    QTest::addColumn<bool>("damaged");
    QTest::newRow("decoded before the click") << true << false << false;
    QTest::newRow("still decoding at the click") << false << false << false;
    QTest::newRow("rewritten since it was decoded") << true << true << false;
    QTest::newRow("damaged") << false << false << true;
}

void TestLookAhead::theStartUpPictureIsDecodedAheadAndNeverWaitedFor()
{
    QFETCH(bool, decodedBeforeTheClick);
    QFETCH(bool, rewritten);
    QFETCH(bool, damaged);
    const QString named = pathOf(3);
    if (damaged)
        m_desktop->makeFile(named, QByteArray("BM\x10", 3) + QByteArray(3, '\0') + "garbage");
    // Asked for before the window is built, as the program does with the picture
    // named on the command line.
    Form1 &form = m_desktop->window(m_folder);
    Form1Controls &c = form.controls();
    gated().hold(named);
    ahead().hurry(named);
    if (decodedBeforeTheClick) {
        gated().openAll();
        QTRY_COMPARE(ahead().find(named).state, PictureCache::State::Ready);
    }
    if (rewritten)
        m_desktop->makePicture(named, 70, 50, Qt::darkGray);

    (void)form.Form_Load(named);
    // The file's information at once, whether its picture is decoded or not.
    QCOMPARE(c.Label3->text(), named);
    QCOMPARE(form.windowTitle(), titleFor(named));
    gated().openAll();
    if (damaged) {
        QTRY_COMPARE(m_desktop->messages.shown,
                     (QList<RecordedMessage>{
                         {PictureLoading::kNotSupported, 0, QStringLiteral("Quorvel")}}));
        QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    } else {
        QTRY_COMPARE(shownColour(c), rewritten ? QColor(Qt::darkGray) : kColours.at(3));
        QCOMPARE(c.Label9->text(),
                 rewritten ? QStringLiteral("70 X 50") : QStringLiteral("43 X 30"));
        QVERIFY(m_desktop->messages.shown.isEmpty());
    }
    // Read on the user's thread only when it changed since it was decoded.
    QCOMPARE(gated().readOnUserThread(), rewritten ? QStringList{named} : QStringList());
}

QTEST_MAIN(TestLookAhead)
#include "tst_lookahead.moc"
