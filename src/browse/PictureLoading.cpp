#include "PictureLoading.h"

#include "FileInfoText.h"
#include "FolderBrowser.h"
#include "HeldKeyWatch.h"
#include "PanelFitter.h"
#include "PanelFullScreen.h"
#include "ShownSize.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/PictureSource.h"
#include "platform/desktop/Services.h"

#include <QGuiApplication>

PictureLoading::PictureLoading(Form1Controls &controls, WorkingValues &values,
                               const Services &services, FolderBrowser &browser,
                               PanelFitter &fitter, PanelFullScreen &fullScreen)
    : c(controls), m_values(values), m_services(services), m_browser(browser), m_fitter(fitter),
      m_fullScreen(fullScreen), m_cache(services.pictureCache), m_keys(new HeldKeyWatch(*c.File1))
{
    QObject::connect(&m_cache, &PictureCache::finished, &m_receiver,
                     [this](const QString &path) { pictureDecoded(path); });
    QObject::connect(m_keys, &HeldKeyWatch::released, &m_receiver, [this] { keyReleased(); });
    QObject::connect(&m_cache, &PictureCache::settled, &m_receiver,
                     [this] { prepareFullScreen(); });
    m_looking.setSingleShot(true);
    m_looking.setInterval(kLookingMs);
    QObject::connect(&m_looking, &QTimer::timeout, &m_receiver, [this] { prepareFullScreen(); });
}

QString PictureLoading::selectedPath() const
{
    const QString name = c.File1->fileName();
    return name.isEmpty() ? QString() : joinPath(c.File1->path(), name);
}

void PictureLoading::File1_Click()
{
    const QString path = selectedPath();
    m_awaited.clear();
    if (waitsForPicture(path) && showFileInformation(path)) {
        // Its neighbours change faster than they decode while a key is held.
        await(path, m_keys->isRepeating());
        return;
    }
    show(path);
}

bool PictureLoading::waitsForPicture(const QString &path)
{
    if (path.isEmpty() || !m_cache.isEnabled())
        return false;
    const PictureCache::Found found = m_cache.find(path);
    // A click waits only for a picture decoded as the one wanted now: the one named
    // on the command line, decoded while the window was built.
    if (!m_keys->isHandlingKey())
        return found.state == PictureCache::State::Reading && found.hurried;
    // A held key moves on without waiting for a picture that is not ready.
    if (m_keys->isRepeating())
        return found.state != PictureCache::State::Ready;
    // A large picture being decoded ahead already comes sooner from there.
    return found.state == PictureCache::State::Reading &&
           m_services.files.fileLength(path).value_or(0) >= kLargeFile;
}

void PictureLoading::show(const QString &path)
{
    const ViewingMode mode = m_values.viewingMode();
    if (mode == ViewingMode::ActualSize)
        c.Image1->setStretch(false);
    if (mode == ViewingMode::AutoFit) {
        c.Image1->setStretch(false);
        // Kept hidden until the fit has placed it, so the unfitted picture never shows.
        c.Image1->setVisible(false);
    }
    if (!showSelectedFile(path))
        startOver();
}

bool PictureLoading::showSelectedFile(const QString &path)
{
    if (path.isEmpty())
        return true;
    const PictureRef picture = pictureFor(path);
    if (!picture)
        return false;
    c.Image1->setPicture(picture);

    const std::optional<qint64> length = m_services.files.fileLength(path);
    if (!length)
        return false;
    c.Label7->setText(kilobyteText(*length));
    c.Label9->setText(pictureSizeText(c.Image1->width(), c.Image1->height()));
    if (c.Label7->text() == QLatin1String("0KB"))
        c.Label7->setText(sizeText(*length));

    if (m_values.viewingMode() == ViewingMode::AutoFit)
        m_fitter.Form_Resize2();
    else
        m_fitter.Form_Resize();

    const std::optional<QDateTime> modified = m_services.files.lastModified(path);
    if (!modified)
        return false;
    c.Label8->setText(dateText(*modified));
    m_values.showInCaption(path);
    m_values.setShownPath(path);
    m_cache.keepShown(path, picture);
    lookAround(path);
    m_shownPath = path;
    m_shown = picture;
    m_looking.start();
    // A press of the mouse may be the first of the double-click that opens the
    // full-screen view: its raster is started at once, not once the user stays.
    if (QGuiApplication::mouseButtons() != Qt::NoButton && m_cache.isEnabled())
        m_fullScreen.pictureShown(path, picture);
    return true;
}

PictureRef PictureLoading::pictureFor(const QString &path)
{
    const PictureCache::Found found = m_cache.find(path);
    switch (found.state) {
    case PictureCache::State::Ready:
        return found.picture;
    case PictureCache::State::Failed:
        // The same file, unchanged since it failed: it fails again.
        return nullptr;
    case PictureCache::State::Unknown:
    case PictureCache::State::Reading:
        break;
    }
    return m_services.pictures.load(path);
}

bool PictureLoading::showFileInformation(const QString &path)
{
    const std::optional<qint64> length = m_services.files.fileLength(path);
    const std::optional<QDateTime> modified = m_services.files.lastModified(path);
    if (!length || !modified)
        return false;
    c.Label7->setText(kilobyteText(*length));
    if (c.Label7->text() == QLatin1String("0KB"))
        c.Label7->setText(sizeText(*length));
    c.Label8->setText(dateText(*modified));
    m_values.showInCaption(path);
    m_values.setShownPath(path);
    return true;
}

void PictureLoading::await(const QString &path, bool alone)
{
    m_awaited = path;
    m_lastRow = c.File1->currentRow();
    if (!alone) {
        // First in line, so that no budget lets it go before it has been shown.
        m_cache.hurry(path);
        return;
    }
    const ShownSize size = shownSize();
    m_cache.want({path}, {[size](const Picture &picture) { size.prepare(picture); }, {}},
                 size.key(), 1);
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): a copy, see the declaration
void PictureLoading::pictureDecoded(QString path)
{
    if (path != m_awaited || path != selectedPath())
        return;
    // A file that failed is reported once the user stops on it, not while passing by.
    if (m_cache.find(path).state != PictureCache::State::Ready && m_keys->isRepeating())
        return;
    m_awaited.clear();
    show(path);
}

void PictureLoading::keyReleased()
{
    if (m_awaited.isEmpty())
        return;
    if (m_awaited != selectedPath()) {
        m_awaited.clear();
        return;
    }
    const QString path = m_awaited; // a copy: showing it clears m_awaited
    switch (m_cache.find(path).state) {
    case PictureCache::State::Ready:
    case PictureCache::State::Failed:
        pictureDecoded(path);
        break;
    case PictureCache::State::Reading:
        break;
    case PictureCache::State::Unknown:
        // Whatever decode is still under way belongs to a file passed by.
        m_cache.hurry(path);
        break;
    }
}

void PictureLoading::lookAround(const QString &path)
{
    const int row = c.File1->currentRow();
    const int step = row < m_lastRow ? -1 : 1;
    m_lastRow = row;
    QStringList wanted{path};
    for (int distance = 1; distance <= kNeighbours; ++distance) {
        for (const int neighbour : {row + step * distance, row - step * distance}) {
            if (neighbour >= 0 && neighbour < c.File1->listCount())
                wanted.append(joinPath(c.File1->path(), c.File1->entry(neighbour)));
        }
    }
    const ShownSize size = shownSize();
    m_cache.want(wanted, {[size](const Picture &picture) { size.prepare(picture); }, {}},
                 size.key());
}

void PictureLoading::prepareFullScreen()
{
    // Once the user stays on the picture and its neighbours are decoded, which a walk
    // needs sooner; only for the picture still shown.
    const PictureRef shown = m_shown.lock();
    if (!m_cache.isEnabled() || m_looking.isActive() || m_cache.decodesUnderWay() > 0 ||
        !m_awaited.isEmpty() || !shown || c.Image1->picture() != shown)
        return;
    m_fullScreen.pictureShown(m_shownPath, shown);
}

ShownSize PictureLoading::shownSize() const
{
    const qreal ratio = c.Picture5->devicePixelRatioF();
    if (m_values.viewingMode() == ViewingMode::AutoFit)
        return ShownSize::fittedInto({c.Picture5->innerWidth(), c.Picture5->innerHeight()}, ratio);
    if (m_values.viewingMode() == ViewingMode::ActualSize)
        return ShownSize::natural(ratio);
    return ShownSize::fixed({c.Image1->width(), c.Image1->height()}, ratio);
}

void PictureLoading::startOver()
{
    m_awaited.clear();
    m_services.messages.show(kNotSupported, MessageBoxes::NoIcon, QStringLiteral("Quorvel"));
    c.Combo1->setText(m_values.defaultFilter());
    m_browser.Dir1_Change();
}
