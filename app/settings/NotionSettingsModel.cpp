#include "settings/NotionSettingsModel.h"

#include "platform/StringUtils.h"
#include "platform/UserDefaults.h"
#include "platform/WorkerPool.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace orvex {

NotionSettingsModel::NotionSettingsModel(NotionSettingsStore store,
                                         NotionConnectionTestConfiguration connection,
                                         NotificationCenter &center, QObject *parent)
    : QObject(parent), store_(std::move(store)), connection_(std::move(connection)), center_(center) {
    notionEnabled_ = store_.loadEnabled();
    notionToken_ = store_.defaults->stringValue(store_.tokenKey).value_or(QString());
    if (!connection_.serviceStatus)
        connection_.serviceStatus = std::make_shared<NotionServiceStatus>();
    // Reported from the search's worker: the connection queues the news onto this model's thread.
    connect(connection_.serviceStatus.get(), &NotionServiceStatus::changed, this,
            &NotionSettingsModel::stateChanged);
}

NotionSettingsModel::~NotionSettingsModel() = default;

bool NotionSettingsModel::showsPasteHint() const {
    return notionEnabled_ && !store_.hasToken() && notionToken_.isEmpty();
}

std::optional<QString> NotionSettingsModel::serviceProblem() const {
    const std::optional<NotionServiceStatus::Problem> problem = connection_.serviceStatus->problem();
    if (!notionEnabled_ || !problem)
        return std::nullopt;
    if (problem->kind == NotionServiceStatus::Problem::Kind::tokenRefused &&
        problem->token != StringUtils::trimmedWhitespaceAndNewlines(notionToken_))
        return std::nullopt;
    return problem->sentence();
}

void NotionSettingsModel::persistSettings() {
    store_.defaults->set(store_.tokenKey, PlistValue(notionToken_));
    store_.defaults->set(store_.enabledKey, PlistValue(notionEnabled_));
    statusMessage_.reset();
    center_.post(QString(NotificationName::notionSettingsChanged));
}

void NotionSettingsModel::setNotionEnabled(bool enabled) {
    if (enabled == notionEnabled_)
        return;
    notionEnabled_ = enabled;
    persistSettings();
    Q_EMIT stateChanged();
}

void NotionSettingsModel::setNotionToken(const QString &token) {
    if (token == notionToken_)
        return;
    notionToken_ = token;
    persistSettings();
    Q_EMIT stateChanged();
}

void NotionSettingsModel::setTokenVisible(bool visible) {
    if (visible == tokenVisible_)
        return;
    tokenVisible_ = visible;
    Q_EMIT stateChanged();
}

void NotionSettingsModel::testConnection() {
    const QString token = StringUtils::trimmedWhitespaceAndNewlines(notionToken_);
    if (token.isEmpty()) {
        statusMessage_ = QStringLiteral("No token provided.");
        Q_EMIT stateChanged();
        return;
    }
    statusMessage_ = QStringLiteral("Testing...");
    Q_EMIT stateChanged();

    const NotionClient client(token, connection_.baseURL, connection_.timeout);
    // The watcher dies with the model, so an answer that outlives the section is never delivered.
    auto *watcher = new QFutureWatcher<NotionSearchResponse>(this);
    connect(watcher, &QFutureWatcher<NotionSearchResponse>::finished, this, [this, watcher, token] {
        watcher->deleteLater();
        finishConnectionTest(token, watcher->result());
    });
    watcher->setFuture(
        QtConcurrent::run(waitingWorkPool(), [client] { return client.search(QStringLiteral("test")); }));
}

void NotionSettingsModel::finishConnectionTest(const QString &testedToken,
                                               const NotionSearchResponse &response) {
    // Notion answered: whatever it held against the searches is over.
    if (!response.failure)
        connection_.serviceStatus->recordAnswer();
    // An answer for a token the user has since changed would overwrite what the field now holds.
    if (testedToken != StringUtils::trimmedWhitespaceAndNewlines(notionToken_)) {
        Q_EMIT connectionTestFinished();
        return;
    }
    statusMessage_ = statusMessage(response, connection_.timeout);
    Q_EMIT stateChanged();
    Q_EMIT connectionTestFinished();
}

QString NotionSettingsModel::statusMessage(const NotionSearchResponse &response,
                                           std::chrono::milliseconds timeout) {
    using Reason = NotionSearchFailure::Reason;
    if (!response.failure) {
        if (response.pages.isEmpty())
            return QStringLiteral("Connected (no pages matched \"test\").");
        return QStringLiteral("Connected — found %1 page(s).").arg(response.pages.size());
    }
    const NotionSearchFailure &failure = *response.failure;
    switch (failure.reason) {
    case Reason::refusedToken:
        return QStringLiteral("Connection failed: Notion refused the token (HTTP %1).")
            .arg(failure.httpStatus);
    case Reason::asksToWait:
        return QStringLiteral("Connection failed: Notion asks to wait (HTTP %1).").arg(failure.httpStatus);
    case Reason::serverStatus:
        return QStringLiteral("Connection failed: Notion answered with HTTP status %1.")
            .arg(failure.httpStatus);
    case Reason::timedOut: {
        const double seconds = static_cast<double>(timeout.count()) / 1000.0;
        return QStringLiteral("Connection failed: Notion did not answer within %1 %2.")
            .arg(QString::number(seconds),
                 seconds == 1.0 ? QStringLiteral("second") : QStringLiteral("seconds"));
    }
    case Reason::noAnswer:
        if (failure.detail.isEmpty())
            return QStringLiteral("Connection failed: no answer from Notion.");
        return QStringLiteral("Connection failed: no answer from Notion (%1).").arg(failure.detail);
    case Reason::unreadableReply:
        return QStringLiteral("Connection failed: Notion's answer could not be read.");
    case Reason::unsendableToken:
        return QStringLiteral("Connection failed: the token contains characters that cannot be sent.");
    case Reason::invalidAddress:
        return QStringLiteral("Connection failed: the Notion address is not valid.");
    case Reason::cancelled:
        return QStringLiteral("Connection failed: the test was cancelled.");
    }
    return QStringLiteral("Connection failed.");
}

} // namespace orvex
