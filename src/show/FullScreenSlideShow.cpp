#include "FullScreenSlideShow.h"

#include "Form6.h"
#include "Form7.h"
#include "ScreenPlacement.h"
#include "SlideCounters.h"
#include "SlideSpeed.h"
#include "WindowStacking.h"
#include "browse/FileInfoText.h"
#include "browse/FolderBrowser.h"
#include "fileops/FavouriteFolders.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/PictureSource.h"
#include "platform/desktop/Services.h"

#include <QLabel>
#include <QPushButton>

FullScreenSlideShow::FullScreenSlideShow(const QWidget &window, Form1Controls &controls,
                                         WorkingValues &values, const Services &services,
                                         SlideCounters &slides, SlideSpeed &speed,
                                         FolderBrowser &browser, FavouriteFolders &favourites,
                                         std::function<bool()> otherShowActive)
    : m_window(window), c(controls), m_values(values), m_services(services), m_slides(slides),
      m_speed(speed), m_browser(browser), m_favourites(favourites),
      m_otherShowActive(std::move(otherShowActive)),
      m_lookAhead(services.pictureCache, services.pictures, services.files)
{
}

FullScreenSlideShow::~FullScreenSlideShow()
{
    delete m_options;
    delete m_show;
}

Form6 *FullScreenSlideShow::showWindow() const
{
    return m_show;
}

Form7 *FullScreenSlideShow::optionWindow() const
{
    return m_options;
}

void FullScreenSlideShow::fullscreen_Click()
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

    // The screen's real size, as the full-screen view uses it. The first slides are
    // decoded while the show window is made.
    m_screen = m_services.screen.geometryNear(&m_window);
    m_slides.startOver(*c.File2);
    prepareNextSlide();

    m_show = new Form6();
    m_show->Picture1->setDecodePool(m_services.decodePool);
    QObject::connect(m_show, &Form6::pauseRequested, m_show, [this] { pause(); });
    QObject::connect(m_show, &Form6::closedByUser, m_show, [this] {
        if (m_state != State::Idle)
            Command1_Click();
    });
    m_show->cover(m_screen);
    m_state = State::Playing;
    c.Timer2->setInterval(m_values.slideInterval());
    c.Timer2->setEnabled(true);
}

void FullScreenSlideShow::Timer2_Timer()
{
    if (m_state != State::Playing)
        return;
    // The slide of an earlier tick, the last one included, comes before the next
    // slide and before the end.
    if (m_lookAhead.awaitedSlideTakesTick())
        return;
    if (m_slides.isFinished() || !m_show) {
        finish();
        return;
    }
    m_lookAhead.step(
        *c.File2, m_slides, [this](int entry) { showSlide(entry); },
        [this](int entry) { showAwaitedSlide(entry); }, m_screen.size());
}

void FullScreenSlideShow::prepareNextSlide()
{
    m_lookAhead.prepareNext(*c.File2, m_slides, m_screen.size());
}

void FullScreenSlideShow::showAwaitedSlide(int entry)
{
    if (m_state == State::Idle || !m_show || entry >= c.File2->listCount())
        return;
    showSlide(entry);
}

void FullScreenSlideShow::showSlide(int entry)
{
    Form6 &form = *m_show;
    PictureElement &image = *form.Image1;
    const QString name = c.File2->entry(entry);
    const QString path = joinPath(c.File2->path(), name);

    image.setStretch(false);
    image.setVisible(false);
    PictureRef picture = m_lookAhead.slide(path, m_screen.size());
    image.setPicture(picture ? std::move(picture) : c.Picture4->picture());
    form.Label2->hide();
    form.Label2->setText(pictureSizeText(image.width(), image.height()));
    fitAndCentreOnScreen(image, {form.Picture1->innerWidth(), form.Picture1->innerHeight()},
                         m_screen.size());
    image.setVisible(true);

    // A size that cannot be read is left empty rather than describing the slide before.
    const std::optional<qint64> length = m_services.files.fileLength(path);
    form.Label3->setText(length ? sizeText(*length) : QString());
    if (!length) {
        image.setPicture(c.Picture4->picture());
        fitAndCentreOnScreen(image, {form.Picture1->innerWidth(), form.Picture1->innerHeight()},
                             m_screen.size());
    }
    form.Label2->show();
    form.Label1->setText(path);
    form.Label4->setText(name);
}

void FullScreenSlideShow::finish()
{
    m_lookAhead.clear();
    unloadShowWindow();
    c.Timer2->setEnabled(false);
    c.Timer2->setInterval(0);
    m_state = State::Idle;
    m_browser.Dir1_Change();
    c.Image1->setPicture(c.Picture3->picture());
}

void FullScreenSlideShow::pause()
{
    if (m_state == State::Idle || !m_show)
        return;
    setTopmost(*m_show, false);
    c.Timer2->setEnabled(false);
    m_state = State::Paused;
    m_lookAhead.setPaused(true);
    openOptionWindow();
}

void FullScreenSlideShow::openOptionWindow()
{
    if (!m_options) {
        m_options = new Form7();
        Form7 &form = *m_options;
        QObject::connect(form.Command1, &QPushButton::clicked, &form, [this] { Command1_Click(); });
        QObject::connect(form.Command2, &QPushButton::clicked, &form, [this] { Command2_Click(); });
        QObject::connect(form.Command3, &QPushButton::clicked, &form, [this] { Command3_Click(); });
        const std::pair<MenuItem *, Speed> speeds[] = {
            {form.fastest1, Speed::Fastest}, {form.fast1, Speed::Fast},
            {form.medium1, Speed::Medium},   {form.slow1, Speed::Slow},
            {form.slowest1, Speed::Slowest},
        };
        for (const auto &[item, speed] : speeds)
            QObject::connect(item, &MenuItem::Click, &form, [this, s = speed] { chooseSpeed(s); });
        using Category = FavouriteFolders::Category;
        const std::pair<MenuItem *, Category> categories[] = {
            {form.temp1, Category::Temp},    {form.h1, Category::HomePage},
            {form.f1, Category::ForWork},    {form.pp1, Category::Personal},
            {form.fu1, Category::FutureUse},
        };
        // The copy keeps the name the file has on disk, which is the slide's name.
        for (const auto &[item, category] : categories)
            QObject::connect(item, &MenuItem::Click, &form, [this, k = category] {
                if (m_show)
                    m_favourites.copyTo(k, m_show->Label1->text());
            });
    }
    m_options->show();
    m_options->raise();
    m_options->activateWindow();
    setTopmost(*m_options, true);
}

void FullScreenSlideShow::chooseSpeed(Speed speed)
{
    m_speed.choose(speed, *c.Timer2);
}

void FullScreenSlideShow::Command2_Click()
{
    if (m_state != State::Paused)
        return;
    if (m_options)
        setTopmost(*m_options, false);
    if (m_show)
        setTopmost(*m_show, true);
    m_state = State::Playing;
    m_lookAhead.setPaused(false);
    c.Timer2->setEnabled(true);
    unloadOptionWindow();
}

void FullScreenSlideShow::Command1_Click()
{
    if (m_state == State::Idle)
        return;
    if (m_show)
        setTopmost(*m_show, false);
    m_values.showInCaption(c.Dir1->path());
    for (QLabel *label : {c.Label7, c.Label8, c.Label9})
        label->clear();
    m_values.setSlideName({});
    (void)c.Dir1->refresh();
    (void)c.File1->refresh();
    c.File2->mirror(*c.File1);
    (void)c.File3->refresh();
    if (m_values.viewingMode() != ViewingMode::Stretched)
        c.Image1->setStretch(false);
    c.Image1->setPicture(c.Picture3->picture());
    unloadOptionWindow();
    unloadShowWindow();
    m_lookAhead.clear();
    c.Timer2->setEnabled(false);
    c.Timer2->setInterval(0);
    m_state = State::Idle;
}

void FullScreenSlideShow::Command3_Click()
{
    m_services.application.quit();
}

void FullScreenSlideShow::unloadOptionWindow()
{
    // Called from the window's own button: it goes once that click is over.
    if (m_options) {
        m_options->hide();
        m_options->deleteLater();
        m_options = nullptr;
    }
}

void FullScreenSlideShow::unloadShowWindow()
{
    if (m_show) {
        Form6 *form = m_show;
        m_show = nullptr;
        form->disconnect();
        form->hide();
        form->deleteLater();
    }
}
