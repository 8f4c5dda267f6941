#include "NotificationCenter.h"

#include <algorithm>

namespace orvex {

NotificationCenter &NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(const QString &name, Handler handler) {
    std::lock_guard lock(mutex_);
    const ObserverToken token = nextToken_++;
    observers_.push_back({token, name, std::make_shared<Handler>(std::move(handler))});
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::lock_guard lock(mutex_);
    std::erase_if(observers_, [token](const Observer &o) { return o.token == token; });
}

void NotificationCenter::post(const QString &name, QHash<QString, bool> userInfo) {
    std::vector<std::pair<ObserverToken, std::shared_ptr<Handler>>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const Observer &o : observers_)
            if (o.name == name)
                targets.emplace_back(o.token, o.handler);
    }
    const Notification notification{name, std::move(userInfo)};
    for (const auto &[token, handler] : targets) {
        // An observer removed by an earlier handler of this same post is skipped.
        bool stillObserving = false;
        {
            std::lock_guard lock(mutex_);
            stillObserving = std::any_of(observers_.begin(), observers_.end(),
                                         [t = token](const Observer &o) { return o.token == t; });
        }
        if (stillObserving)
            (*handler)(notification);
    }
}

} // namespace orvex
