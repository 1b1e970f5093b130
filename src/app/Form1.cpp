#include "Form1.h"

#include "Form1Layout.h"
#include "HandOver.h"
#include "MainMenu.h"
#include "Startup.h"
#include "browse/FolderBrowser.h"
#include "browse/PanelFitter.h"
#include "browse/PictureLoading.h"
#include "browse/ViewingModes.h"
#include "fileops/ClipboardCommands.h"
#include "fileops/FavouriteFolders.h"
#include "fileops/FileCommands.h"
#include "help/HelpMenu.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/Services.h"
#include "show/FullScreenSlideShow.h"
#include "show/FullScreenView.h"
#include "show/SlideSpeed.h"
#include "show/WindowSlideShow.h"
#include "tray/AutoGoFolder.h"
#include "tray/TrayIcon.h"

#include <QCloseEvent>
#include <QEvent>
#include <QIcon>
#include <QMenuBar>

namespace {

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 128})
        icon.addFile(QStringLiteral(":/icons/quorvel-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

Form1::Form1(const Services &services, const QString &startFolder, QWidget *parent)
    : QMainWindow(parent), m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvel 1.36"));
    setWindowIcon(programIcon());
    // A sizable border and a minimize button, but no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    m_controls = buildForm1Controls(*client, *this, services, startFolder);
    m_controls.menus = buildMainMenu(*menuBar(), *this);
    m_values = std::make_unique<WorkingValues>(m_controls, *this);
    m_controls.Picture5->setDecodePool(services.decodePool);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    Form1Controls &c = m_controls;
    WorkingValues &values = *m_values;
    m_fitter = std::make_unique<PanelFitter>(c);
    m_browser = std::make_unique<FolderBrowser>(c, values, services, *m_fitter);
    m_fullScreen = std::make_unique<FullScreenView>(*this, c, services);
    m_loading =
        std::make_unique<PictureLoading>(c, values, services, *m_browser, *m_fitter, *m_fullScreen);
    m_modes = std::make_unique<ViewingModes>(c, values, *m_fitter, *m_loading, *m_fullScreen);
    m_speed = std::make_unique<SlideSpeed>(c, values, services);
    m_favourites = std::make_unique<FavouriteFolders>(c, values, services, *m_loading);
    // The two shows step the same counters: each starts only while the other is idle.
    m_windowShow = std::make_unique<WindowSlideShow>(
        c, values, services, m_slides, *m_browser, *m_fitter,
        [this] { return m_fullScreenShow->state() != FullScreenSlideShow::State::Idle; });
    m_fullScreenShow = std::make_unique<FullScreenSlideShow>(
        *this, c, values, services, m_slides, *m_speed, *m_browser, *m_favourites,
        [this] { return m_windowShow->state() != WindowSlideShow::State::Idle; });
    m_clipboard = std::make_unique<ClipboardCommands>(c, values, services, *m_browser, *m_fitter);
    m_fileCommands = std::make_unique<FileCommands>(c, values, services, *m_browser, *m_loading);
    m_trayIcon = std::make_unique<TrayIcon>(*this, services);
    m_autoGo = std::make_unique<AutoGoFolder>(*this, c, services, *m_browser);
    m_help = std::make_unique<HelpMenu>(*this, services);
    m_startup = std::make_unique<Startup>(c, values, services, *m_browser, *m_modes, *m_fitter,
                                          *m_trayIcon);
    m_handOver = std::make_unique<HandOver>(*this, c, values, services, *m_browser, *m_windowShow,
                                            *m_fullScreenShow, *m_fullScreen, *m_trayIcon);
    wireEvents();
}

Form1::~Form1() = default;

bool Form1::Form_Load(const QString &commandLinePath)
{
    return m_startup->Form_Load(commandLinePath);
}

void Form1::wireEvents()
{
    Form1Controls &c = m_controls;
    FolderBrowser *browser = m_browser.get();
    PanelFitter *fitter = m_fitter.get();
    Startup *startup = m_startup.get();

    connect(c.Drive1, &DriveListBox::Change, this, [browser] { browser->Drive1_Change(); });
    connect(c.Dir1, &DirListBox::Change, this, [browser] { browser->Dir1_Change(); });
    connect(c.Combo1, &ComboBox::Change, this, [browser] { browser->Combo1_Change(); });
    connect(c.Combo1, &ComboBox::Click, this, [browser] { browser->Combo1_Click(); });
    connect(c.menus.refresh1, &MenuItem::Click, this, [browser] { browser->refresh1_Click(); });

    connect(c.HScroll1, &ScrollBar::Change, this, [fitter] { fitter->HScroll1_Change(); });
    connect(c.VScroll1, &ScrollBar::Change, this, [fitter] { fitter->VScroll1_Change(); });

    connect(c.menus.exitmenu, &MenuItem::Click, this, [startup] { startup->exitmenu_Click(); });
    HandOver *handOver = m_handOver.get();
    connect(&m_services.application, &ApplicationServices::PathHandedOver, this,
            [handOver](const QString &path) { handOver->PathHandedOver(path); });

    PictureLoading *loading = m_loading.get();
    connect(c.File1, &FileListBox::Click, this, [loading] { loading->File1_Click(); });

    ViewingModes *modes = m_modes.get();
    connect(c.menus.Act1, &MenuItem::Click, this, [modes] { modes->Act1_Click(); });
    connect(c.menus.auto1, &MenuItem::Click, this, [modes] { modes->auto1_Click(); });
    connect(c.menus.St1, &MenuItem::Click, this, [modes] { modes->St1_Click(); });
    connect(c.menus.In1, &MenuItem::Click, this, [modes] { modes->In1_Click(); });
    connect(c.menus.Out1, &MenuItem::Click, this, [modes] { modes->Out1_Click(); });
    connect(c.menus.normal1, &MenuItem::Click, this, [modes] { modes->normal1_Click(); });
    connect(c.Image1, &PictureElement::Click, this, [modes] { modes->Image1_Click(); });
    connect(c.Picture5, &PictureBox::Click, this, [modes] { modes->Picture5_Click(); });

    connect(c.menus.fullscreen1, &MenuItem::Click, this, [modes] { modes->fullscreen1_Click(); });
    FullScreenView *fullScreen = m_fullScreen.get();
    connect(c.File1, &FileListBox::DblClick, this, [fullScreen] { fullScreen->File1_DblClick(); });
    wireSlideShows();

    FavouriteFolders *favourites = m_favourites.get();
    connect(c.menus.temp1, &MenuItem::Click, this, [favourites] { favourites->temp1_Click(); });
    connect(c.menus.home1, &MenuItem::Click, this, [favourites] { favourites->home1_Click(); });
    connect(c.menus.work1, &MenuItem::Click, this, [favourites] { favourites->work1_Click(); });
    connect(c.menus.per1, &MenuItem::Click, this, [favourites] { favourites->per1_Click(); });
    connect(c.menus.future1, &MenuItem::Click, this, [favourites] { favourites->future1_Click(); });
    connect(c.menus.go1, &MenuItem::Click, this, [favourites] { favourites->go1_Click(); });

    ClipboardCommands *clipboard = m_clipboard.get();
    connect(c.menus.clip1, &MenuItem::Click, this, [clipboard] { clipboard->clip1_Click(); });
    connect(c.menus.view2, &MenuItem::Click, this, [clipboard] { clipboard->view2_Click(); });

    FileCommands *fileCommands = m_fileCommands.get();
    connect(c.menus.run1, &MenuItem::Click, this, [fileCommands] { fileCommands->run1_Click(); });
    connect(c.menus.delete_, &MenuItem::Click, this,
            [fileCommands] { fileCommands->delete_Click(); });

    TrayIcon *tray = m_trayIcon.get();
    connect(c.menus.systray, &MenuItem::Click, this, [tray] { tray->systray_Click(); });
    connect(c.menus.Tray1, &MenuItem::Click, this, [tray] { tray->Tray1_Click(); });
    connect(c.menus.TrayMin1, &MenuItem::Click, this, [tray] { tray->TrayMin1_Click(); });

    AutoGoFolder *autoGo = m_autoGo.get();
    connect(c.menus.Jump1, &MenuItem::Click, this, [autoGo] { autoGo->Jump1_Click(); });
    connect(c.menus.goto1, &MenuItem::Click, this, [autoGo] { autoGo->goto1_Click(); });

    HelpMenu *help = m_help.get();
    connect(c.menus.tip, &MenuItem::Click, this, [help] { help->tip_Click(); });
    connect(c.menus.About1, &MenuItem::Click, this, [help] { help->About1_Click(); });
}

void Form1::wireSlideShows()
{
    const Form1Menus &m = m_controls.menus;
    SlideSpeed *speed = m_speed.get();
    connect(m.adjustmenu, &MenuItem::Click, this, [speed] { speed->adjustmenu_Click(); });
    connect(m.fastest1, &MenuItem::Click, this, [speed] { speed->fastest1_Click(); });
    connect(m.fast1, &MenuItem::Click, this, [speed] { speed->fast1_Click(); });
    connect(m.medium1, &MenuItem::Click, this, [speed] { speed->medium1_Click(); });
    connect(m.slow1, &MenuItem::Click, this, [speed] { speed->slow1_Click(); });
    connect(m.slowest1, &MenuItem::Click, this, [speed] { speed->slowest1_Click(); });

    WindowSlideShow *show = m_windowShow.get();
    connect(m.viewmenu, &MenuItem::Click, this, [show] { show->viewmenu_Click(); });
    connect(m_controls.Timer1, &IntervalTimer::Tick, this, [show] { show->Timer1_Timer(); });
    connect(m.pause1, &MenuItem::Click, this, [show] { show->pause1_Click(); });
    connect(m.play1, &MenuItem::Click, this, [show] { show->play1_Click(); });
    connect(m.stop1, &MenuItem::Click, this, [show] { show->stop1_Click(); });
    using Category = FavouriteFolders::Category;
    const std::pair<MenuItem *, Category> categories[] = {
        {m.temp2, Category::Temp},        {m.home2, Category::HomePage},
        {m.work2, Category::ForWork},     {m.per2, Category::Personal},
        {m.future2, Category::FutureUse},
    };
    FavouriteFolders *favourites = m_favourites.get();
    for (const auto &[item, category] : categories)
        connect(item, &MenuItem::Click, this,
                [favourites, k = category] { favourites->copySlide(k); });

    FullScreenSlideShow *fullScreenShow = m_fullScreenShow.get();
    connect(m.fullscreen, &MenuItem::Click, this,
            [fullScreenShow] { fullScreenShow->fullscreen_Click(); });
    connect(m_controls.Timer2, &IntervalTimer::Tick, this,
            [fullScreenShow] { fullScreenShow->Timer2_Timer(); });
}

bool Form1::isSlideShowActive() const
{
    return m_windowShow->state() != WindowSlideShow::State::Idle ||
           m_fullScreenShow->state() != FullScreenSlideShow::State::Idle;
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_fitter->Form_Resize();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Minimizing and restoring count as size changes.
    if (event->type() == QEvent::WindowStateChange)
        m_fitter->Form_Resize();
}

void Form1::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    // The main window is the program: a run without it would keep its other windows
    // and the single-instance lock with no way back to them.
    m_services.application.quit();
}
