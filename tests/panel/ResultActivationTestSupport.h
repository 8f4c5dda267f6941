#pragma once

#include "SearchControllerTestSupport.h"

#include "panel/PanelHost.h"
#include "panel/ResultActivation.h"
#include "platform/Workspace.h"

#include <QSet>
#include <QStringList>

#include <memory>
#include <mutex>

namespace orvex::test::panelmodel {

// What the activation did, in order: "open:<url>", "clipboard:<text>", "hidden", "focus:<id>/<w>/<t>",
// "settings-link:<link>", "reveal:<url>", "host-hide", "host-settings", "failed:<row>: <reason>".
using ActivationLog = QStringList;

// A workspace whose opens fail (with `failure`) unless the address is listed (or everything opens); it
// logs each call.
class RecordingWorkspace final : public Workspace {
public:
    explicit RecordingWorkspace(ActivationLog &log) : log_(log) {}

    OpenResult open(const QUrl &url) override;
    std::optional<QUrl> urlForApplicationToOpenFolders() override { return std::nullopt; }
    QUrl systemFileViewerURL() override { return {}; }
    void activateFileViewerSelectingURLs(const QList<QUrl> &urls) override;
    bool openURLsWithApplication(const QList<QUrl> &urls, const QUrl &applicationURL) override;
    void setClipboardText(const QString &text) override;

    QSet<QString> openable;
    bool opensEverything = false;
    OpenResult failure = OpenResult::failed(OpenFailure::noApplicationForScheme, QStringLiteral("x-test"));

private:
    ActivationLog &log_;
};

// Stands in for the application shell.
class RecordingHost final : public PanelHost {
public:
    explicit RecordingHost(ActivationLog &log) : log_(log) { PanelHost::setCurrent(this); }
    ~RecordingHost() override { PanelHost::setCurrent(nullptr); }

    void hideWindow() override { log_.append(QStringLiteral("host-hide")); }
    void showSettingsWindow() override { log_.append(QStringLiteral("host-settings")); }
    void activationFailed(const SearchResult &result, const QString &reason) override {
        log_.append(QStringLiteral("failed:%1: %2").arg(result.filename(), reason));
    }

private:
    ActivationLog &log_;
};

// A controller with an activation over a recording workspace and fakes for the search core's recording,
// the browser tab focus, the settings launcher and the file reveal.
struct ActivationHarness {
    ActivationHarness();
    ~ActivationHarness();

    // Shows the rows as the final answer for the query.
    void show(const QString &query, const SearchResults &rows);
    // Lets the deferred open or reveal run and every recording finish.
    void finish();
    QStringList recordedNames();

    ControllerHarness h;
    ActivationLog log;
    RecordingWorkspace workspace{log};
    bool tabFocusSucceeds = false;
    bool settingsLinksOpen = false;
    std::unique_ptr<ResultActivation> activation;

private:
    std::mutex recordedMutex_;
    SearchResults recorded_;
    NotificationCenter::ObserverToken hiddenObserver_ = 0;
};

} // namespace orvex::test::panelmodel
