#include "platform/DesktopWorkspace.h"

#include "platform/ConsoleLog.h"
#include "platform/SafeFile.h"
#include "platform/StartupEnvironment.h"

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

// Makes the context give exactly `environment` to the programs it starts (GIO adds only what it adds
// for every launch, such as the entry's own path).
void useEnvironment(GAppLaunchContext *context, const QByteArrayList &environment) {
    QSet<QByteArray> names;
    for (const QByteArray &entry : environment) {
        const qsizetype equals = entry.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray name = entry.left(equals);
        names.insert(name);
        g_app_launch_context_setenv(context, name.constData(), entry.constData() + equals + 1);
    }
    gchar **given = g_app_launch_context_get_environment(context);
    for (gchar **entry = given; entry && *entry; ++entry) {
        const QByteArray text(*entry);
        const QByteArray name = text.left(text.indexOf('='));
        if (!names.contains(name))
            g_app_launch_context_unsetenv(context, name.constData());
    }
    g_strfreev(given);
}

// Runs in the started program's process just before its program: into the folder it should start in.
// GIO has already entered the entry's own Path, if it names one; then no folder is passed.
void enterFolder(gpointer folder) {
    if (folder) [[maybe_unused]]
        const int entered = ::chdir(static_cast<const char *>(folder));
}

QString keyFileString(GKeyFile *file, const char *key) {
    gchar *value = g_key_file_get_string(file, G_KEY_FILE_DESKTOP_GROUP, key, nullptr);
    const QString text = value ? QString::fromUtf8(value) : QString();
    g_free(value);
    return text;
}

bool keyFileBoolean(GKeyFile *file, const char *key) {
    return g_key_file_get_boolean(file, G_KEY_FILE_DESKTOP_GROUP, key, nullptr);
}

// The program an Exec or TryExec value starts, as GIO looks it up; empty when it is not installed.
bool isInstalledProgram(const QString &program) {
    gchar *found = g_find_program_in_path(QFile::encodeName(program).constData());
    g_free(found);
    return found != nullptr;
}

QString programOfCommand(const QString &command) {
    gchar **argv = nullptr;
    QString program;
    if (g_shell_parse_argv(command.toUtf8().constData(), nullptr, &argv, nullptr) && argv && argv[0])
        program = QFile::decodeName(argv[0]);
    g_strfreev(argv);
    return program;
}

// The bus name GIO starts a D-Bus activatable entry under: its file name without ".desktop", when that
// is a well-known bus name; empty for entries GIO spawns.
QString activationBusName(GDesktopAppInfo *app) {
    const char *filename = g_desktop_app_info_get_filename(app);
    if (!filename || !g_desktop_app_info_get_boolean(app, "DBusActivatable"))
        return QString();
    QString name = QFileInfo(QFile::decodeName(filename)).fileName();
    if (!name.endsWith(QLatin1String(".desktop")))
        return QString();
    name.chop(8);
    const QByteArray bytes = name.toUtf8();
    return g_dbus_is_name(bytes.constData()) && !name.startsWith(QLatin1Char(':')) ? name : QString();
}

enum class BusService { available, missing, unknown };

// Whether the session bus has `name` running or can start it. Unknown when there is no session bus or
// it does not answer: GIO is then left to do as it does.
BusService serviceOnSessionBus(const QString &name) {
    GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!bus)
        return BusService::unknown;
    constexpr int timeoutMilliseconds = 2000;
    const auto ask = [&](const char *method, GVariant *arguments, const char *replyType) {
        return g_dbus_connection_call_sync(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                           "org.freedesktop.DBus", method, arguments,
                                           G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE,
                                           timeoutMilliseconds, nullptr, nullptr);
    };
    const QByteArray wanted = name.toUtf8();
    GVariant *owned = ask("NameHasOwner", g_variant_new("(s)", wanted.constData()), "(b)");
    if (!owned)
        return BusService::unknown;
    gboolean hasOwner = FALSE;
    g_variant_get(owned, "(b)", &hasOwner);
    g_variant_unref(owned);
    if (hasOwner)
        return BusService::available;
    GVariant *activatable = ask("ListActivatableNames", nullptr, "(as)");
    if (!activatable)
        return BusService::unknown;
    GVariantIter *names = nullptr;
    g_variant_get(activatable, "(as)", &names);
    bool found = false;
    const gchar *candidate = nullptr;
    while (!found && g_variant_iter_next(names, "&s", &candidate))
        found = wanted == candidate;
    g_variant_iter_free(names);
    g_variant_unref(activatable);
    return found ? BusService::available : BusService::missing;
}

// The entry as a program to spawn, without its D-Bus activation: what GIO's own launcher runs for an
// entry whose service is not there. Null when the entry cannot be read again.
GObjectPtr<GDesktopAppInfo> spawnedApplication(GDesktopAppInfo *app) {
    std::unique_ptr<GKeyFile, GKeyFileFree> keyFile(g_key_file_new());
    if (!g_key_file_load_from_file(keyFile.get(), g_desktop_app_info_get_filename(app), G_KEY_FILE_NONE,
                                   nullptr))
        return nullptr;
    g_key_file_remove_key(keyFile.get(), G_KEY_FILE_DESKTOP_GROUP, "DBusActivatable", nullptr);
    return GObjectPtr<GDesktopAppInfo>(g_desktop_app_info_new_from_keyfile(keyFile.get()));
}

// Launches `app` with the URIs (none for an application on its own); GIO expands the entry's field
// codes, finds a terminal for Terminal=true and spawns the program from an argument list, in the home
// folder unless the entry names its own, with `environment`.
OpenResult launch(GAppInfo *app, const QList<QUrl> &urls, const QByteArrayList &environment,
                  const QString &what) {
    const auto failed = [&](OpenFailure failure, const QString &detail, const QString &why) {
        report(QStringLiteral("Could not open %1: %2").arg(what, why));
        return OpenResult::failed(failure, detail);
    };
    GObjectPtr<GDesktopAppInfo> spawned;
    bool overTheBus = false;
    if (G_IS_DESKTOP_APP_INFO(app)) {
        const QString busName = activationBusName(G_DESKTOP_APP_INFO(app));
        const BusService service = busName.isEmpty() ? BusService::unknown : serviceOnSessionBus(busName);
        gchar *exec = g_desktop_app_info_get_string(G_DESKTOP_APP_INFO(app), "Exec");
        const bool namesProgram = exec && *exec;
        g_free(exec);
        // Without its service (or a bus that can tell of it) an entry without a program starts nothing.
        if (!busName.isEmpty() && !namesProgram && service != BusService::available)
            return failed(OpenFailure::serviceMissing, busName,
                          QStringLiteral("its D-Bus service %1 is neither running nor installed, and it "
                                         "names no program")
                              .arg(busName));
        overTheBus = service == BusService::available;
        if (service == BusService::missing) {
            spawned = spawnedApplication(G_DESKTOP_APP_INFO(app));
            if (!spawned)
                return failed(OpenFailure::notAnApplication, QString(),
                              QStringLiteral("its desktop entry cannot be read"));
            app = G_APP_INFO(spawned.get());
        }
    }

    QList<QByteArray> encoded;
    for (const QUrl &url : urls)
        encoded.append(url.toEncoded());
    GList *uris = nullptr;
    for (const QByteArray &uri : encoded)
        uris = g_list_append(uris, const_cast<char *>(uri.constData()));
    // Over the bus the service starts with the bus's environment; a context would only have GIO ask
    // it for a start-up notice it does not have when the call fails.
    GObjectPtr<GAppLaunchContext> context(overTheBus ? nullptr : g_app_launch_context_new());
    if (context)
        useEnvironment(context.get(), environment);
    GError *rawError = nullptr;
    bool launched = false;
    bool inTerminal = false;
    if (G_IS_DESKTOP_APP_INFO(app)) {
        GDesktopAppInfo *entry = G_DESKTOP_APP_INFO(app);
        inTerminal = g_desktop_app_info_get_boolean(entry, "Terminal");
        gchar *ownFolder = g_desktop_app_info_get_string(entry, "Path");
        const bool hasOwnFolder = ownFolder && *ownFolder;
        const QByteArray folder = hasOwnFolder ? QByteArray(ownFolder) : QFile::encodeName(QDir::homePath());
        g_free(ownFolder);
        // PWD says where the program starts, not where the launcher runs.
        if (context)
            g_app_launch_context_setenv(context.get(), "PWD", folder.constData());
        launched = g_desktop_app_info_launch_uris_as_manager(
            entry, uris, context.get(), G_SPAWN_SEARCH_PATH, enterFolder,
            hasOwnFolder ? nullptr : const_cast<char *>(folder.constData()), nullptr, nullptr, &rawError);
    } else {
        launched = g_app_info_launch_uris(app, uris, context.get(), &rawError);
    }
    GErrorPtr error(rawError);
    g_list_free(uris);
    if (launched)
        return OpenResult::opened();
    // GIO says so in words only: the one failure of its own before anything is spawned.
    if (inTerminal && error && error->domain == G_IO_ERROR)
        return failed(OpenFailure::noTerminal, QString(), errorText(error));
    return failed(OpenFailure::launchFailed, errorText(error), errorText(error));
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

// Why applicationOfEntry() found no application in the entry, told with the checks GIO makes.
OpenResult whyNotAnApplication(const QString &path) {
    if (!QFileInfo::exists(path))
        return OpenResult::failed(OpenFailure::itemMissing, path);
    std::unique_ptr<GKeyFile, GKeyFileFree> keyFile(g_key_file_new());
    if (!g_key_file_load_from_file(keyFile.get(), QFile::encodeName(path).constData(), G_KEY_FILE_NONE,
                                   nullptr) ||
        keyFileString(keyFile.get(), G_KEY_FILE_DESKTOP_KEY_TYPE) != QLatin1String("Application"))
        return OpenResult::failed(OpenFailure::notAnApplication, path);
    if (keyFileBoolean(keyFile.get(), G_KEY_FILE_DESKTOP_KEY_HIDDEN))
        return OpenResult::failed(OpenFailure::applicationRemoved, path);
    const QString tryExec = keyFileString(keyFile.get(), G_KEY_FILE_DESKTOP_KEY_TRY_EXEC);
    if (!tryExec.isEmpty() && !isInstalledProgram(tryExec))
        return OpenResult::failed(OpenFailure::programMissing, tryExec);
    const QString program = programOfCommand(keyFileString(keyFile.get(), G_KEY_FILE_DESKTOP_KEY_EXEC));
    if (!program.isEmpty() && !isInstalledProgram(program))
        return OpenResult::failed(OpenFailure::programMissing, program);
    return OpenResult::failed(OpenFailure::notAnApplication, path);
}

// The words of the line on stdout for an entry that is not an application.
QString reportedReason(const OpenResult &result) {
    switch (result.failure.value_or(OpenFailure::notAnApplication)) {
    case OpenFailure::itemMissing:
        return QStringLiteral("no such file");
    case OpenFailure::applicationRemoved:
        return QStringLiteral("the entry is marked deleted (Hidden)");
    case OpenFailure::programMissing:
        return QStringLiteral("its program %1 is not installed").arg(result.detail);
    default:
        return QStringLiteral("not a launchable application");
    }
}

bool isDesktopEntryFile(const QFileInfo &file) {
    return file.isFile() && file.suffix() == QLatin1String("desktop");
}

// The default handler of the file's type (folders are inode/directory), launched with the file.
OpenResult openWithDefaultHandler(const QUrl &url, const QByteArrayList &environment) {
    GObjectPtr<GFile> file(g_file_new_for_uri(url.toEncoded().constData()));
    GError *rawError = nullptr;
    GObjectPtr<GAppInfo> app(g_file_query_default_handler(file.get(), nullptr, &rawError));
    GErrorPtr error(rawError);
    if (!app) {
        report(QStringLiteral("Could not open %1: %2").arg(url.toString(), errorText(error)));
        if (error && g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
            return OpenResult::failed(OpenFailure::itemMissing, url.toLocalFile());
        GObjectPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                     G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
        const char *type = info ? g_file_info_get_content_type(info.get()) : nullptr;
        return OpenResult::failed(OpenFailure::noApplicationForType,
                                  type ? QString::fromUtf8(type) : QString());
    }
    return launch(app.get(), {url}, environment, url.toString());
}

OpenResult openLocalFile(const QUrl &url, const QByteArrayList &environment) {
    const QFileInfo file(url.toLocalFile());
    if (!file.exists()) {
        report(QStringLiteral("Could not open %1: no such file").arg(url.toString()));
        return OpenResult::failed(OpenFailure::itemMissing, file.filePath());
    }
    if (isDesktopEntryFile(file) && isTrustedDesktopEntry(file)) {
        const GObjectPtr<GDesktopAppInfo> app = applicationOfEntry(file.filePath());
        if (!app) {
            const OpenResult failure = whyNotAnApplication(file.filePath());
            report(QStringLiteral("Could not open %1: %2").arg(url.toString(), reportedReason(failure)));
            return failure;
        }
        return launch(G_APP_INFO(app.get()), {}, environment, url.toString());
    }
    return openWithDefaultHandler(url, environment);
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
                                   std::chrono::milliseconds revealTimeout,
                                   std::optional<QByteArrayList> launchEnvironment)
    : bus_(std::move(bus)), fileViewerCandidates_(std::move(fileViewerCandidates)),
      revealTimeout_(revealTimeout), launchEnvironment_(std::move(launchEnvironment)),
      pendingCalls_(std::make_unique<QObject>()) {}

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

QByteArrayList DesktopWorkspace::launchEnvironment() const {
    return launchEnvironment_ ? *launchEnvironment_ : StartupEnvironment::environment();
}

OpenResult DesktopWorkspace::open(const QUrl &url) {
    if (!url.isValid() || url.scheme().isEmpty()) {
        report(QStringLiteral("Could not open %1: not an address").arg(url.toString()));
        return OpenResult::failed(OpenFailure::invalidAddress, url.toString());
    }
    if (url.isLocalFile())
        return openLocalFile(url, launchEnvironment());
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_uri_scheme(url.scheme().toUtf8().constData()));
    if (!app) {
        report(QStringLiteral("Could not open %1: no application handles %2 addresses")
                   .arg(url.toString(), url.scheme()));
        return OpenResult::failed(OpenFailure::noApplicationForScheme, url.scheme().toLower());
    }
    return launch(app.get(), {url}, launchEnvironment(), url.toString());
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
        report(QStringLiteral("Could not open with %1: %2")
                   .arg(applicationURL.toString(),
                        reportedReason(whyNotAnApplication(applicationURL.toLocalFile()))));
        return false;
    }
    return bool(launch(G_APP_INFO(app.get()), urls, launchEnvironment(), applicationURL.toString()));
}

void DesktopWorkspace::setClipboardText(const QString &) {
    report(QStringLiteral("Could not copy to the clipboard: no graphical session in this process"));
}

} // namespace orvex
