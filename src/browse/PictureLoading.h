#pragma once

#include "platform/desktop/PictureCache.h"

#include <QString>
#include <QTimer>

class FolderBrowser;
class HeldKeyWatch;
class PanelFitter;
class PanelFullScreen;
class ShownSize;
class WorkingValues;
struct Form1Controls;
struct Services;

// Loads the file selected in the file list into the viewing panel and fills the
// "File's Information" frame; a file that cannot be shown is reported and the
// browser starts over. The neighbours of the shown file are decoded ahead, so that a
// step to one of them finds its picture ready. While a key is held down the list
// moves on without waiting for pictures: each step shows its file's information at
// once and its picture when that is decoded, if the step is still the current one;
// so does the start-up's click on the picture named on the command line, decoded
// while the window was built.
class PictureLoading {
public:
    static inline const QString kNotSupported = QStringLiteral(
        "This File Type is not supported yet in this version or the file is not accessible!");
    // Neighbours decoded ahead on each side of the shown file.
    static constexpr int kNeighbours = 2;
    // A step by key to a file this large whose decode is under way waits for that
    // decode instead of starting another.
    static constexpr qint64 kLargeFile = qint64(4) << 20;
    // How long a picture is on the panel before the user is taken to be looking at it
    // rather than passing by, and its full-screen raster is worth making.
    static constexpr int kLookingMs = 400;

    PictureLoading(Form1Controls &controls, WorkingValues &values, const Services &services,
                   FolderBrowser &browser, PanelFitter &fitter, PanelFullScreen &fullScreen);

    void File1_Click();

    // The file whose picture a step is still waiting for, or empty.
    [[nodiscard]] QString awaited() const { return m_awaited; }

private:
    [[nodiscard]] QString selectedPath() const;
    void show(const QString &path);
    [[nodiscard]] bool showSelectedFile(const QString &path);
    [[nodiscard]] PictureRef pictureFor(const QString &path);
    [[nodiscard]] bool showFileInformation(const QString &path);
    [[nodiscard]] bool waitsForPicture(const QString &path);
    void await(const QString &path, bool alone);
    // By value: path may be m_awaited itself, which showing clears.
    void pictureDecoded(QString path);
    void keyReleased();
    void lookAround(const QString &path);
    void prepareFullScreen();
    [[nodiscard]] ShownSize shownSize() const;
    void startOver();

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    FolderBrowser &m_browser;
    PanelFitter &m_fitter;
    PanelFullScreen &m_fullScreen;
    PictureCache &m_cache;
    HeldKeyWatch *m_keys;
    QString m_awaited;
    QString m_shownPath;
    std::weak_ptr<const Picture> m_shown;
    QTimer m_looking;
    // Receives the cache's and the keys' news; gone with this object.
    QObject m_receiver;
    int m_lastRow = -1;
};
