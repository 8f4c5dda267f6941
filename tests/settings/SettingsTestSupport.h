#pragma once

#include "platform/NotificationCenter.h"

#include <QString>
#include <QStringList>

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

} // namespace orvex::test
