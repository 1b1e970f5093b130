#pragma once

#include "platform/desktop/DecodePool.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/FilePictures.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/PictureCache.h"
#include "platform/desktop/Registry.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"
#include "platform/desktop/WorkingFolders.h"

// The desktop's own services, as the program runs with them. The benchmarks run the
// same, except that they may bring their own file system, messages and application
// (one that never finds another copy running and never quits), and the program its
// pictures, its application (asked about another copy before the toolkit starts) and
// its decode pool and picture cache (which have started on the picture named on the
// command line; a cache handed in decodes on the pool handed in with it).
struct DesktopReplacements {
    FileSystem *files = nullptr;
    MessageBoxes *messages = nullptr;
    ApplicationServices *application = nullptr;
    PictureSource *pictures = nullptr;
    DecodePool *decodePool = nullptr;
    PictureCache *pictureCache = nullptr;
};

class RealDesktop {
public:
    explicit RealDesktop(const QString &startFolder, DesktopReplacements replacements = {});
    RealDesktop(const RealDesktop &) = delete;
    RealDesktop &operator=(const RealDesktop &) = delete;

    [[nodiscard]] const Services &services() const { return m_services; }

    // The folder to start in: the working folder if it can be read, else home.
    [[nodiscard]] static QString startFolder();

private:
    QtMessageBoxes m_messages;
    LocalFileSystem m_files;
    MountedVolumes m_volumes;
    WorkingFolders m_working;
    Registry m_registry;
    FilePictures m_pictures;
    QtScreen m_screen;
    QtClipboard m_clipboard;
    DesktopShell m_shell;
    SystemTray m_tray;
    RunningApplication m_application;
    // Made only when none are handed in.
    std::unique_ptr<DecodePool> m_decodePool;
    std::unique_ptr<PictureCache> m_pictureCache;
    Services m_services;
};
