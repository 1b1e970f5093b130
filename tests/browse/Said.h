#pragma once

#include "browse/PictureLoading.h"
#include "support/TestDesktop.h"

#include <QTest>
#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

// What the features' tests expect to be told, in the program's own words.
using Said = QList<RecordedMessage>;

// A message box titled with the program's name.
[[nodiscard]] inline RecordedMessage said(const QString &text, int style = 0)
{
    return {text, style, u"Quorvel"_s};
}

inline const RecordedMessage kNotSupported = said(PictureLoading::kNotSupported);
inline const RecordedMessage kNotReady = said(u"Device is not accessible or ready"_s, 16);
inline const RecordedMessage kPleaseSelect = said(u"Please Select A File"_s, 16);
inline const RecordedMessage kNoFileSelected = said(u"No File Selected!"_s, 16);
inline const RecordedMessage kTakesEffect =
    said(u"OK!..It will take effect when you run Quorvel next time."_s);

// The texts of labels, in order.
template <typename... Labels> [[nodiscard]] QStringList textsOf(const Labels *...labels)
{
    return {labels->text()...};
}

// After a file it could not show: every readable type, no file, the placeholder, no information.
inline void verifyStartedOver(Form1Controls &c)
{
    QCOMPARE(textsOf(c.Combo1, c.Label3, c.Label7, c.Label8, c.Label9),
             (QStringList{"ALL Readable Format", "", "", "", ""}));
    QCOMPARE(c.File1->fileName(), QString());
    QCOMPARE(c.Image1->picture(), c.Picture2->picture());
}

// Each feature test's fixture: a sandboxed desktop, a folder on it, the main window started there.
class FeatureTest : public QObject {
protected:
    std::optional<TestDesktop> m_desktop;
    Form1 *m_form = nullptr;
    QString m_folder;

    void makeDesktop(const QString &folder)
    {
        m_desktop.emplace();
        m_folder = m_desktop->makeFolder(m_desktop->home() + u'/' + folder);
    }
    Form1Controls &start(const QString &folder = {})
    {
        m_form = &m_desktop->started(folder.isEmpty() ? m_folder : folder);
        return m_form->controls();
    }
    Said &shown() { return m_desktop->messages.shown; }
    // What was said since the last call.
    Said told() { return std::exchange(m_desktop->messages.shown, {}); }
};
