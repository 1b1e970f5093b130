#include "RealDesktop.h"

#include <QDir>

RealDesktop::RealDesktop(const QString &startFolder, DesktopReplacements r)
    : m_working(m_volumes, r.files ? *r.files : m_files, startFolder),
      m_registry(Registry::defaultFilePath()),
      m_decodePool(r.decodePool ? nullptr : std::make_unique<DecodePool>()),
      m_pictureCache(r.pictureCache ? nullptr
                                    : std::make_unique<PictureCache>(
                                          r.decodePool ? *r.decodePool : *m_decodePool,
                                          r.pictures ? *r.pictures : m_pictures,
                                          r.files ? *r.files : m_files)),
      m_services{r.messages ? *r.messages : m_messages,
                 r.files ? *r.files : m_files,
                 m_volumes,
                 m_working,
                 m_registry,
                 r.pictures ? *r.pictures : m_pictures,
                 m_screen,
                 m_clipboard,
                 m_shell,
                 m_tray,
                 r.application ? *r.application : m_application,
                 r.decodePool ? *r.decodePool : *m_decodePool,
                 r.pictureCache ? *r.pictureCache : *m_pictureCache}
{
}

QString RealDesktop::startFolder()
{
    const QString current = QDir::currentPath();
    return LocalFileSystem().isReadableFolder(current) ? current : QDir::homePath();
}
