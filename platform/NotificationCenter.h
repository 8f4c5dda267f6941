#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace orvex {

// A named in-process notification with an optional Boolean payload ("success", "hasResults").
struct Notification {
    QString name;
    QHash<QString, bool> userInfo;
};

// Named notifications delivered synchronously, on the posting thread, to every observer of the name.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification &)>;
    using ObserverToken = quint64;

    static NotificationCenter &defaultCenter();

    ObserverToken addObserver(const QString &name, Handler handler);
    // After this returns the handler is never called again from a later post.
    void removeObserver(ObserverToken token);
    void post(const QString &name, QHash<QString, bool> userInfo = {});

private:
    struct Observer {
        ObserverToken token;
        QString name;
        std::shared_ptr<Handler> handler;
    };

    std::mutex mutex_;
    std::vector<Observer> observers_;
    ObserverToken nextToken_ = 1;
};

} // namespace orvex
