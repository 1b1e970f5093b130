#include "WindowSlideShow.h"

#include "SlideCounters.h"
#include "browse/FileInfoText.h"
#include "browse/FolderBrowser.h"
#include "browse/PanelFitter.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/PictureSource.h"
#include "platform/desktop/Services.h"

WindowSlideShow::WindowSlideShow(Form1Controls &controls, WorkingValues &values,
                                 const Services &services, SlideCounters &slides,
                                 FolderBrowser &browser, PanelFitter &fitter,
                                 std::function<bool()> otherShowActive)
    : c(controls), m_values(values), m_services(services), m_slides(slides), m_browser(browser),
      m_fitter(fitter), m_otherShowActive(std::move(otherShowActive)),
      m_lookAhead(services.pictureCache, services.pictures, services.files)
{
}

void WindowSlideShow::viewmenu_Click()
{
    // The two shows step the same counters: one at a time.
    if (m_state != State::Idle || m_otherShowActive())
        return;
    (void)c.Dir1->refresh();
    (void)c.File1->refresh();
    c.File2->mirror(*c.File1);
    (void)c.File3->refresh();
    m_values.showInCaption(c.Dir1->path());
    m_values.setShownPath({});
    c.HScroll1->setVisible(false);
    c.VScroll1->setVisible(false);
    c.Label7->clear();
    c.Label8->clear();
    c.Label9->clear();
    if (m_values.viewingMode() != ViewingMode::Stretched)
        c.Image1->setStretch(false);
    c.Image1->setPicture(c.Picture1->picture());

    c.menus.stop1->setVisible(true);
    c.menus.pause1->setVisible(true);
    c.menus.help1->setEnabled(false);
    m_slides.startOver(*c.File2);
    setBrowserEnabled(false);
    c.Image1->setEnabled(true);
    m_state = State::Playing;
    prepareNextSlide();
    c.Timer1->setInterval(m_values.slideInterval());
    c.Timer1->setEnabled(true);
}

void WindowSlideShow::Timer1_Timer()
{
    if (m_state != State::Playing)
        return;
    // The slide of an earlier tick, the last one included, comes before the next
    // slide and before the end.
    if (m_lookAhead.awaitedSlideTakesTick())
        return;
    if (m_slides.isFinished()) {
        finish();
        return;
    }
    m_lookAhead.step(
        *c.File2, m_slides, [this](int entry) { showSlide(entry); },
        [this](int entry) { showAwaitedSlide(entry); });
}

void WindowSlideShow::prepareNextSlide()
{
    m_lookAhead.prepareNext(*c.File2, m_slides);
}

void WindowSlideShow::showAwaitedSlide(int entry)
{
    if (m_state == State::Idle || entry >= c.File2->listCount())
        return;
    showSlide(entry);
}

void WindowSlideShow::showSlide(int entry)
{
    const ViewingMode mode = m_values.viewingMode();
    if (mode == ViewingMode::AutoFit)
        c.Image1->setVisible(false);
    if (mode != ViewingMode::Stretched)
        c.Image1->setStretch(false);
    const QString name = c.File2->entry(entry);
    const QString path = joinPath(c.File2->path(), name);

    PictureRef picture = m_lookAhead.slide(path);
    if (picture)
        c.Image1->setPicture(std::move(picture));
    else
        showError();
    c.Label9->setText(pictureSizeText(c.Image1->width(), c.Image1->height()));
    if (mode == ViewingMode::AutoFit)
        m_fitter.Form_Resize2();
    else
        m_fitter.Form_Resize();

    // A field that cannot be read is left empty rather than describing the slide before.
    const std::optional<qint64> length = m_services.files.fileLength(path);
    c.Label7->setText(length ? sizeText(*length) : QString());
    const std::optional<QDateTime> modified = m_services.files.lastModified(path);
    c.Label8->setText(modified ? dateText(*modified) : QString());
    if (!length || !modified)
        showError();
    m_values.showInCaption(path);
    m_values.setSlidePath(path);
    m_values.setSlideName(name);
}

void WindowSlideShow::showError()
{
    c.Image1->setPicture(c.Picture4->picture());
}

void WindowSlideShow::pause1_Click()
{
    if (m_state != State::Playing)
        return;
    c.Timer1->setEnabled(false);
    m_state = State::Paused;
    m_lookAhead.setPaused(true);
    setPausedItemsVisible(true);
}

void WindowSlideShow::play1_Click()
{
    if (m_state != State::Paused)
        return;
    c.Timer1->setEnabled(true);
    m_state = State::Playing;
    m_lookAhead.setPaused(false);
    setPausedItemsVisible(false);
}

void WindowSlideShow::stop1_Click()
{
    if (m_state == State::Idle)
        return;
    m_values.setShownPath({});
    finish();
}

void WindowSlideShow::finish()
{
    m_lookAhead.clear();
    c.Timer1->setEnabled(false);
    c.Timer1->setInterval(0);
    m_state = State::Idle;
    setBrowserEnabled(true);
    c.menus.help1->setEnabled(true);
    setPausedItemsVisible(false);
    c.menus.pause1->setVisible(false);
    c.menus.stop1->setVisible(false);
    m_browser.Dir1_Change();
    c.Image1->setPicture(c.Picture3->picture());
    if (m_values.viewingMode() == ViewingMode::ActualSize) {
        c.Image1->setCursorCode(99);
        c.Picture5->setCursorCode(99);
    }
}

void WindowSlideShow::setBrowserEnabled(bool enabled)
{
    for (QWidget *control : {static_cast<QWidget *>(c.Combo1), static_cast<QWidget *>(c.Dir1),
                             static_cast<QWidget *>(c.Drive1), static_cast<QWidget *>(c.File1),
                             static_cast<QWidget *>(c.File2)})
        control->setEnabled(enabled);
    c.menus.filemenu->setEnabled(enabled);
    c.menus.optionmenu->setEnabled(enabled);
}

void WindowSlideShow::setPausedItemsVisible(bool visible)
{
    c.menus.play1->setVisible(visible);
    c.menus.copyf->setVisible(visible);
    c.menus.Tray1->setVisible(visible);
    c.menus.speed3->setVisible(visible);
    c.menus.pause1->setVisible(!visible);
}
