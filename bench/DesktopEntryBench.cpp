// What reading the applications' desktop entries costs with the launcher's own reader, beside GIO's
// GDesktopAppInfo doing the same work: for each entry the localised name, whether this desktop shows it,
// whether its TryExec program is installed, and its command line. The entries are written once into a
// temporary folder: realistic ones, each with the translations a desktop's own applications carry.
#include "platform/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <gio/gdesktopappinfo.h>

#include <clocale>
#include <cstdlib>

namespace {

using namespace orvex;

constexpr int entryCount = 400;

const char *const languages[] = {"ar", "bg", "ca", "cs", "da", "de", "el", "en_GB", "eo",   "es",
                                 "et", "eu", "fi", "fr", "gl", "he", "hr", "hu",    "id",   "it",
                                 "ja", "ko", "lt", "nb", "nl", "pl", "pt", "pt_BR", "ro",   "ru",
                                 "sk", "sl", "sr", "sv", "tr", "uk", "vi", "zh_CN", "zh_TW"};

QByteArray entryText(int i) {
    QByteArray text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
    text += "Name=Sample Application " + QByteArray::number(i) + '\n';
    text += "GenericName=Sample Tool\nComment=Does what sample number " + QByteArray::number(i) + " does\n";
    for (const char *language : languages) {
        text +=
            QByteArray("Name[") + language + "]=Beispiel " + QByteArray::number(i) + ' ' + language + '\n';
        text += QByteArray("Comment[") + language + "]=Kommentar in " + language + '\n';
    }
    text += "Keywords=sample;tool;number" + QByteArray::number(i) + ";\n";
    text += "Exec=sample-app-" + QByteArray::number(i) + " --new-window %U\n";
    text += "TryExec=sh\nIcon=sample-app\nTerminal=false\nCategories=Utility;\n";
    if (i % 10 == 0)
        text += "OnlyShowIn=XFCE;\n";
    text += "\n[Desktop Action new]\nName=New Window\nExec=sample-app --new\n";
    return text;
}

struct Entries {
    Entries() {
        QDir().mkpath(folder.path());
        for (int i = 0; i < entryCount; ++i) {
            QFile file(folder.path() + QStringLiteral("/sample-%1.desktop").arg(i));
            if (file.open(QIODevice::WriteOnly))
                file.write(entryText(i));
            paths.append(file.fileName());
        }
    }
    QTemporaryDir folder;
    QStringList paths;
};

const Entries &entries() {
    static const Entries made;
    return made;
}

void BM_OwnReader(benchmark::State &state) {
    const QStringList locales = {QStringLiteral("de_DE.UTF-8")};
    const QStringList desktops = {QStringLiteral("GNOME")};
    const QStringList searchPath = {QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    for (auto _ : state) {
        int shown = 0;
        for (const QString &path : entries().paths) {
            const std::optional<DesktopEntry> entry = DesktopEntry::readFile(path);
            if (!entry || !entry->isApplication() || !entry->isShownIn(desktops) ||
                !entry->hasInstalledTryExec(searchPath))
                continue;
            benchmark::DoNotOptimize(entry->localeString(QStringLiteral("Name"), locales));
            benchmark::DoNotOptimize(entry->commandLine(path, locales));
            ++shown;
        }
        benchmark::DoNotOptimize(shown);
    }
    state.SetItemsProcessed(state.iterations() * entryCount);
}
BENCHMARK(BM_OwnReader)->Unit(benchmark::kMillisecond);

void BM_GDesktopAppInfo(benchmark::State &state) {
    std::vector<QByteArray> paths;
    for (const QString &path : entries().paths)
        paths.push_back(QFile::encodeName(path));
    for (auto _ : state) {
        int shown = 0;
        for (const QByteArray &path : paths) {
            // Returns nothing when TryExec names no installed program.
            GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(path.constData());
            if (!info)
                continue;
            if (g_app_info_should_show(G_APP_INFO(info))) {
                benchmark::DoNotOptimize(g_app_info_get_name(G_APP_INFO(info)));
                benchmark::DoNotOptimize(g_app_info_get_commandline(G_APP_INFO(info)));
                ++shown;
            }
            g_object_unref(info);
        }
        benchmark::DoNotOptimize(shown);
    }
    state.SetItemsProcessed(state.iterations() * entryCount);
}
BENCHMARK(BM_GDesktopAppInfo)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    // Both readers look for the same translation and judge the same desktop.
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    ::setenv("LANGUAGE", "de_DE", 1);
    ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    std::setlocale(LC_ALL, "");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
