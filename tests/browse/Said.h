#pragma once

#include "browse/PictureLoading.h"
#include "support/TestDesktop.h"

#include <QTest>

// What the features' tests expect to be told, in the program's own words.
using Said = QList<RecordedMessage>;

// A message box titled with the program's name.
[[nodiscard]] inline RecordedMessage said(const QString &text, int style = 0)
{
    return {text, style, QStringLiteral("Quorvel")};
}

inline const RecordedMessage kNotSupported = said(PictureLoading::kNotSupported);
inline const RecordedMessage kNotReady =
    said(QStringLiteral("Device is not accessible or ready"), 16);
inline const RecordedMessage kPleaseSelect = said(QStringLiteral("Please Select A File"), 16);
inline const RecordedMessage kNoFileSelected = said(QStringLiteral("No File Selected!"), 16);
inline const RecordedMessage kTakesEffect =
    said(QStringLiteral("OK!..It will take effect when you run Quorvel next time."));

// The browser after a file it could not show: the filter back to every readable
// type, no file chosen, the placeholder and no file's information.
inline void verifyStartedOver(Form1Controls &c)
{
    QCOMPARE(c.Combo1->text(), QStringLiteral("ALL Readable Format"));
    QCOMPARE(c.File1->fileName(), QString());
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
    for (QLabel *label : {c.Label3, c.Label7, c.Label8, c.Label9})
        QCOMPARE(label->text(), QString());
}
