#include "DesktopServices.h"

#include <QFile>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <memory>
#include <unistd.h>

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// The message of a GLib error, which is then freed; empty when there was none.
QString takeMessage(GError *error)
{
    if (!error)
        return {};
    QString message = QString::fromUtf8(error->message);
    g_error_free(error);
    return message;
}

// Runs in the started program's process, between fork and exec.
void enterFolder(gpointer folder)
{
    if (::chdir(static_cast<const char *>(folder)) != 0)
        _exit(127);
}

} // namespace

DesktopOutcome DesktopShell::open(const QString &file, const QString &workingFolder)
{
    // The program the desktop's own file managers would pick; asking first lets a
    // type that nothing opens be reported instead of silently dropped.
    const GObjectPtr<GFile> target(g_file_new_for_path(QFile::encodeName(file).constData()));
    GError *error = nullptr;
    const GObjectPtr<GAppInfo> handler(g_file_query_default_handler(target.get(), nullptr, &error));
    if (!handler) {
        const QString reason = takeMessage(error);
        return {reason.isEmpty() ? QStringLiteral("No program opens this type of file.") : reason};
    }
    if (G_IS_DESKTOP_APP_INFO(handler.get())) {
        // The program starts in the given folder, on its own: GLib does not wait for it.
        // The file goes as one argument, never through a shell.
        const std::unique_ptr<char, decltype(&g_free)> uri(g_file_get_uri(target.get()), g_free);
        GList uris{uri.get(), nullptr, nullptr};
        const QByteArray folder = QFile::encodeName(workingFolder);
        if (g_desktop_app_info_launch_uris_as_manager(
                G_DESKTOP_APP_INFO(handler.get()), &uris, nullptr, G_SPAWN_SEARCH_PATH, enterFolder,
                const_cast<char *>(folder.constData()), nullptr, nullptr, &error))
            return {};
        return {takeMessage(error)};
    }
    GList files{target.get(), nullptr, nullptr};
    if (g_app_info_launch(handler.get(), &files, nullptr, &error))
        return {};
    return {takeMessage(error)};
}

DesktopOutcome DesktopShell::moveToTrash(const QString &file)
{
    // GIO writes the freedesktop trash of the file's own volume for every name, and
    // fails rather than erase a file it cannot move there.
    const GObjectPtr<GFile> target(g_file_new_for_path(QFile::encodeName(file).constData()));
    GError *error = nullptr;
    if (g_file_trash(target.get(), nullptr, &error))
        return {};
    const QString reason = takeMessage(error);
    return {reason.isEmpty() ? QStringLiteral("The trash did not take the file.") : reason};
}
