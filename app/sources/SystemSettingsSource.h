#pragma once

#include "platform/DesktopEntryEnvironment.h"
#include "search/Source.h"
#include "sources/SystemSettingsTypes.h"

#include <QList>

namespace orvex {

// The desktop's settings panes as action rows that open them: the built-in table and the scanned
// extension bundles, each offered only when this desktop can open it.
class SystemSettingsSource final : public Source {
public:
    using Snapshot = DataSnapshot<QList<SystemSettingsShortcut>>;

    SystemSettingsSource(QString extensionsRoot, DesktopEntryEnvironment desktopEntries);

    QString id() const override;
    double timeToLive() const override { return 600; }
    // The table's panes that can open: offered from the first query on.
    std::shared_ptr<const SourceSnapshot> initialSnapshot() const override;
    std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &cancelled) const override;
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const override;

    // The scanned panes of the extension folder (before the table is merged in).
    QList<SystemSettingsShortcut> discover() const;

private:
    const QString extensionsRoot_;
    const DesktopEntryEnvironment desktopEntries_;
};

} // namespace orvex
