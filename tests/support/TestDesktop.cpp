#include "TestDesktop.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

TestDesktop::TestDesktop()
{
    m_homeRoot = makeFolder(QStringLiteral("home"));
    m_otherRoot = makeFolder(QStringLiteral("media/STICK"));
    m_savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_homeRoot));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_homeRoot + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_homeRoot + QStringLiteral("/.local/share")));
    volumes.volumes = {{m_homeRoot, QStringLiteral("Home")},
                       {m_otherRoot, QStringLiteral("STICK")},
                       {QStringLiteral("/"), QStringLiteral("File System")}};
    registry = std::make_unique<Registry>(Registry::defaultFilePath());
}

TestDesktop::~TestDesktop()
{
    m_window.reset();
    QDir::setCurrent(QDir::tempPath());
    qputenv("HOME", m_savedHome);
}

QString TestDesktop::makeFolder(const QString &path)
{
    const QString full = QDir::isAbsolutePath(path) ? path : m_sandbox.filePath(path);
    QDir().mkpath(full);
    return QDir::cleanPath(full);
}

QString TestDesktop::makeFile(const QString &path, const QByteArray &content)
{
    const QString full = makeFolder(QFileInfo(path).path()) + '/' + QFileInfo(path).fileName();
    writeFile(full, content);
    return full;
}

QString TestDesktop::makePicture(const QString &path, int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    const QString full = makeFile(path, {});
    return image.save(full, "BMP") ? full : QString();
}

Form1 &TestDesktop::window(const QString &startFolder)
{
    // An earlier window still uses the services it was built on: it goes first.
    m_window.reset();
    working = std::make_unique<WorkingFolders>(volumes, files, startFolder);
    QDir::setCurrent(startFolder);
    PictureSource &source = pictureSource ? *pictureSource : pictures;
    pictureCache = std::make_unique<PictureCache>(decodePool, source, files);
    m_services = std::make_unique<Services>(Services{messages, files, volumes, *working, *registry,
                                                     source, screen, clipboard, shell, tray,
                                                     application, decodePool, *pictureCache});
    m_window = std::make_unique<Form1>(*m_services, startFolder);
    return *m_window;
}

Form1 &TestDesktop::started(const QString &startFolder, const QString &commandLinePath)
{
    Form1 &form = window(startFolder);
    (void)form.Form_Load(commandLinePath);
    return form;
}

QStringList entriesOf(const FileListBox &list)
{
    QStringList names;
    for (int i = 0; i < list.listCount(); ++i)
        names.append(list.entry(i));
    return names;
}
