#pragma once

#include "platform/DesktopEntryEnvironment.h"
#include "search/WalkedListSource.h"

namespace orvex {

// The applications: the bundles under the app roots, then the desktop's applications (its desktop
// entries).
class AppsSource final : public WalkedListSource {
public:
    AppsSource(QStringList searchRoots, DesktopEntryEnvironment desktopEntries,
               std::function<QStringList()> basenameSuffixes);

protected:
    SearchResults walk(const std::atomic<bool> &cancelled) const override;

private:
    const QStringList searchRoots_;
    const DesktopEntryEnvironment desktopEntries_;
};

} // namespace orvex
