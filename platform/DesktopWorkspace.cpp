#include "platform/DesktopWorkspace.h"

#include "platform/ConsoleLog.h"
#include "platform/SafeFile.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cstdio>
#include <unistd.h>

namespace orvex {
namespace {

// Ownership of GLib values for the length of one call.
struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
    void operator()(GError *error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GKeyFileFree {
    void operator()(GKeyFile *file) const { g_key_file_free(file); }
};

struct GAppInfoListFree {
    void operator()(GList *list) const { g_list_free_full(list, g_object_unref); }
};
using GAppInfoList = std::unique_ptr<GList, GAppInfoListFree>;

Q_LOGGING_CATEGORY(workspaceLog, "orvex.workspace", QtInfoMsg)

// The one line a failed open leaves on stdout.
void report(const QString &line) {
    printLine(workspaceLog(), line);
}

QString errorText(const GErrorPtr &error) {
    return error ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
}

QString desktopEntryPath(GAppInfo *app) {
    if (!app || !G_IS_DESKTOP_APP_INFO(app))
        return QString();
    const char *filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app));
    return filename ? QFile::decodeName(filename) : QString();
}

// Launches `app` with the URIs (none for an application on its own); GIO expands the entry's field
// codes, finds a terminal for Terminal=true and spawns the program from an argument list.
bool launch(GAppInfo *app, const QList<QUrl> &urls, const QString &what) {
    QList<QByteArray> encoded;
    for (const QUrl &url : urls)
        encoded.append(url.toEncoded());
    GList *uris = nullptr;
    for (const QByteArray &uri : encoded)
        uris = g_list_append(uris, const_cast<char *>(uri.constData()));
    GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
    GError *rawError = nullptr;
    const bool launched = g_app_info_launch_uris(app, uris, context.get(), &rawError);
    GErrorPtr error(rawError);
    g_list_free(uris);
    if (!launched)
        report(QStringLiteral("Could not open %1: %2").arg(what, errorText(error)));
    return launched;
}

// Desktop entries the user installed or that came with the system: those in an applications folder of
// the XDG data folders, reached directly or through a link.
bool isInApplicationsFolder(const QString &path) {
    const QString asGiven = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString resolved = QFileInfo(path).canonicalFilePath();
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        QStringList prefixes{QDir::cleanPath(folder) + QLatin1Char('/')};
        const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
        if (!canonicalFolder.isEmpty())
            prefixes.append(canonicalFolder + QLatin1Char('/'));
        for (const QString &prefix : prefixes)
            if (asGiven.startsWith(prefix) || (!resolved.isEmpty() && resolved.startsWith(prefix)))
                return true;
    }
    return false;
}

// The rule file managers apply: an entry elsewhere runs only when its owner marked it executable.
bool isTrustedDesktopEntry(const QFileInfo &entry) {
    if (isInApplicationsFolder(entry.filePath()))
        return true;
    return entry.ownerId() == ::getuid() && entry.permission(QFile::ExeOwner);
}

// The application of a desktop entry; none for other entry types, for an entry marked Hidden (which
// means deleted) and for one whose program is not installed.
GObjectPtr<GDesktopAppInfo> applicationOfEntry(const QString &path) {
    GObjectPtr<GDesktopAppInfo> app(
        g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
    if (app && g_desktop_app_info_get_is_hidden(app.get()))
        app.reset();
    return app;
}

bool isDesktopEntryFile(const QFileInfo &file) {
    return file.isFile() && file.suffix() == QLatin1String("desktop");
}

// The default handler of the file's type (folders are inode/directory), launched with the file.
bool openWithDefaultHandler(const QUrl &url) {
    GObjectPtr<GFile> file(g_file_new_for_uri(url.toEncoded().constData()));
    GError *rawError = nullptr;
    GObjectPtr<GAppInfo> app(g_file_query_default_handler(file.get(), nullptr, &rawError));
    GErrorPtr error(rawError);
    if (!app) {
        report(QStringLiteral("Could not open %1: %2").arg(url.toString(), errorText(error)));
        return false;
    }
    return launch(app.get(), {url}, url.toString());
}

bool openLocalFile(const QUrl &url) {
    const QFileInfo file(url.toLocalFile());
    if (!file.exists()) {
        report(QStringLiteral("Could not open %1: no such file").arg(url.toString()));
        return false;
    }
    if (isDesktopEntryFile(file) && isTrustedDesktopEntry(file)) {
        const GObjectPtr<GDesktopAppInfo> app = applicationOfEntry(file.filePath());
        if (!app) {
            report(QStringLiteral("Could not open %1: not a launchable application").arg(url.toString()));
            return false;
        }
        return launch(G_APP_INFO(app.get()), {}, url.toString());
    }
    return openWithDefaultHandler(url);
}

// The program a D-Bus service file starts for `serviceName`, found in the session bus's service
// folders of the XDG data folders; empty when none does.
QString programStartedForService(const QString &serviceName) {
    for (const QString &dataFolder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QDir services(dataFolder + QStringLiteral("/dbus-1/services"));
        for (const QString &name :
             services.entryList({QStringLiteral("*.service")}, QDir::Files, QDir::Name)) {
            const auto bytes = SafeFile::readRegularFile(services.filePath(name), 64 * 1024);
            if (!bytes)
                continue;
            std::unique_ptr<GKeyFile, GKeyFileFree> keyFile(g_key_file_new());
            if (!g_key_file_load_from_data(keyFile.get(), bytes->constData(), gsize(bytes->size()),
                                           G_KEY_FILE_NONE, nullptr))
                continue;
            gchar *serviceNameValue = g_key_file_get_string(keyFile.get(), "D-BUS Service", "Name", nullptr);
            const bool matches = serviceNameValue && QString::fromUtf8(serviceNameValue) == serviceName;
            g_free(serviceNameValue);
            if (!matches)
                continue;
            gchar *exec = g_key_file_get_string(keyFile.get(), "D-BUS Service", "Exec", nullptr);
            gchar **argv = nullptr;
            QString program;
            if (exec && g_shell_parse_argv(exec, nullptr, &argv, nullptr) && argv && argv[0])
                program = QFile::decodeName(argv[0]);
            g_strfreev(argv);
            g_free(exec);
            if (!program.isEmpty())
                return program;
        }
    }
    return QString();
}

// The first installed desktop entry whose program has the same file name as `program` (letter case
// aside: some file managers install both spellings), preferring entries that open folders.
QString desktopEntryOfProgram(const QString &program) {
    const QString wanted = QFileInfo(program).fileName();
    if (wanted.isEmpty())
        return QString();
    const GAppInfoList lists[] = {GAppInfoList(g_app_info_get_all_for_type("inode/directory")),
                                  GAppInfoList(g_app_info_get_all())};
    for (const GAppInfoList &list : lists) {
        for (GList *item = list.get(); item; item = item->next) {
            auto *app = static_cast<GAppInfo *>(item->data);
            const char *executable = g_app_info_get_executable(app);
            if (executable &&
                QFileInfo(QFile::decodeName(executable)).fileName().compare(wanted, Qt::CaseInsensitive) ==
                    0) {
                const QString path = desktopEntryPath(app);
                if (!path.isEmpty())
                    return path;
            }
        }
    }
    return QString();
}

// Each parent folder once, in the order of the items.
QList<QUrl> parentFolders(const QList<QUrl> &urls) {
    QList<QUrl> folders;
    QSet<QString> seen;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = QDir::cleanPath(url.toLocalFile());
        const QString parent = path == QLatin1String("/") ? path : QFileInfo(path).absolutePath();
        if (!seen.contains(parent)) {
            seen.insert(parent);
            folders.append(QUrl::fromLocalFile(parent));
        }
    }
    return folders;
}

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

} // namespace

DesktopWorkspace::DesktopWorkspace(std::optional<QDBusConnection> bus, QStringList fileViewerCandidates,
                                   std::chrono::milliseconds revealTimeout)
    : bus_(std::move(bus)), fileViewerCandidates_(std::move(fileViewerCandidates)),
      revealTimeout_(revealTimeout), pendingCalls_(std::make_unique<QObject>()) {}

DesktopWorkspace::~DesktopWorkspace() = default;

QStringList DesktopWorkspace::defaultFileViewerCandidates() {
    return {QStringLiteral("org.gnome.Nautilus.desktop"),
            QStringLiteral("org.kde.dolphin.desktop"),
            QStringLiteral("nemo.desktop"),
            QStringLiteral("caja.desktop"),
            QStringLiteral("thunar.desktop"),
            QStringLiteral("io.elementary.files.desktop"),
            QStringLiteral("pcmanfm-qt.desktop"),
            QStringLiteral("pcmanfm.desktop")};
}

bool DesktopWorkspace::open(const QUrl &url) {
    if (!url.isValid() || url.scheme().isEmpty()) {
        report(QStringLiteral("Could not open %1: not an address").arg(url.toString()));
        return false;
    }
    if (url.isLocalFile())
        return openLocalFile(url);
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_uri_scheme(url.scheme().toUtf8().constData()));
    if (!app) {
        report(QStringLiteral("Could not open %1: no application handles %2 addresses")
                   .arg(url.toString(), url.scheme()));
        return false;
    }
    return launch(app.get(), {url}, url.toString());
}

std::optional<QUrl> DesktopWorkspace::urlForApplicationToOpenFolders() {
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type("inode/directory", FALSE));
    const QString path = desktopEntryPath(app.get());
    if (path.isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

QUrl DesktopWorkspace::systemFileViewerURL() {
    const QString viaService = desktopEntryOfProgram(programStartedForService(fileManagerService));
    if (!viaService.isEmpty())
        return QUrl::fromLocalFile(viaService);
    for (const QString &id : fileViewerCandidates_) {
        GObjectPtr<GDesktopAppInfo> app(g_desktop_app_info_new(id.toUtf8().constData()));
        const QString path = desktopEntryPath(app ? G_APP_INFO(app.get()) : nullptr);
        if (!path.isEmpty())
            return QUrl::fromLocalFile(path);
    }
    return QUrl();
}

void DesktopWorkspace::activateFileViewerSelectingURLs(const QList<QUrl> &urls) {
    if (urls.isEmpty())
        return;
    QStringList uris;
    for (const QUrl &url : urls)
        uris.append(QString::fromUtf8(url.toEncoded()));
    QDBusMessage call =
        QDBusMessage::createMethodCall(fileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                       fileManagerService, QStringLiteral("ShowItems"));
    call << uris << QString();
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    auto *watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(call, int(revealTimeout_.count())), pendingCalls_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, pendingCalls_.get(),
                     [this, urls](QDBusPendingCallWatcher *finished) {
                         finished->deleteLater();
                         if (!finished->isError())
                             return;
                         report(QStringLiteral("Could not show items in the file viewer: %1")
                                    .arg(finished->error().message()));
                         for (const QUrl &folder : parentFolders(urls))
                             open(folder);
                     });
}

bool DesktopWorkspace::openURLsWithApplication(const QList<QUrl> &urls, const QUrl &applicationURL) {
    if (!applicationURL.isLocalFile()) {
        report(QStringLiteral("Could not open with %1: not a desktop entry").arg(applicationURL.toString()));
        return false;
    }
    const GObjectPtr<GDesktopAppInfo> app = applicationOfEntry(applicationURL.toLocalFile());
    if (!app) {
        report(QStringLiteral("Could not open with %1: not a launchable application")
                   .arg(applicationURL.toString()));
        return false;
    }
    return launch(G_APP_INFO(app.get()), urls, applicationURL.toString());
}

void DesktopWorkspace::setClipboardText(const QString &) {
    report(QStringLiteral("Could not copy to the clipboard: no graphical session in this process"));
}

} // namespace orvex
