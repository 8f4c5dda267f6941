#pragma once

#include "settings/SettingsView.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace orvex::test {

// A private notification centre that records every change notification of the settings windows in the
// order posted, with the "success" flag when one came along.
class NotificationRecorder {
public:
    NotificationRecorder();
    ~NotificationRecorder();

    NotificationCenter &center() { return center_; }
    const QStringList &posted() const { return posted_; }
    void clear() { posted_.clear(); }

private:
    NotificationCenter center_;
    QStringList posted_;
    QList<NotificationCenter::ObserverToken> tokens_;
};

// Where the screenshots of this build go; made on first use.
QString screenshotDirectory();

// A settings view over its own in-memory defaults and notification centre. `seed` writes stored values
// before the view reads them; without an availability table every engine counts as available.
struct SettingsViewFixture {
    explicit SettingsViewFixture(const std::function<void(UserDefaults &)> &seed = {},
                                 std::function<TranslationEngineAvailabilityTable()> availability = {});

    SettingsEnvironment environment();

    UserDefaults defaults;
    NotificationRecorder recorder;
    std::function<TranslationEngineAvailabilityTable()> availability;
    std::unique_ptr<SettingsView> view;
};

} // namespace orvex::test
