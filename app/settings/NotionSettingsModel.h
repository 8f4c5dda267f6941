#pragma once

#include "sources/NotionClient.h"
#include "sources/NotionServiceStatus.h"
#include "sources/NotionSettingsStore.h"

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace orvex {

// Where the connection test sends its request and how long it waits, and what the launcher's own
// searches heard from Notion.
struct NotionConnectionTestConfiguration {
    QUrl baseURL = NotionClient::defaultBaseURL();
    std::chrono::milliseconds timeout = NotionClient::defaultTimeout;
    // None: a status of the section's own, which no search reports to.
    std::shared_ptr<NotionServiceStatus> serviceStatus;
};

// The Notion section's state: search on or off, the token as typed, whether it is shown in clear, and
// the status line of the last connection test. Every edit writes both settings and posts
// "NotionSettingsChanged". The test runs on a worker; its outcome is shown only while the token it
// tested is still the one in the field.
class NotionSettingsModel : public QObject {
    Q_OBJECT

public:
    explicit NotionSettingsModel(NotionSettingsStore store, NotionConnectionTestConfiguration connection = {},
                                 NotificationCenter &center = NotificationCenter::defaultCenter(),
                                 QObject *parent = nullptr);
    ~NotionSettingsModel() override;

    bool notionEnabled() const { return notionEnabled_; }
    const QString &notionToken() const { return notionToken_; }
    bool tokenVisible() const { return tokenVisible_; }
    const std::optional<QString> &statusMessage() const { return statusMessage_; }
    const NotionSettingsStore &store() const { return store_; }

    // Search is on, no token is stored and none is typed.
    bool showsPasteHint() const;
    // The test button is there while the field is not empty (blanks count).
    bool showsTestButton() const { return !notionToken_.isEmpty(); }
    // What Notion last held against the searches, while search is on: a refusal only while the field
    // holds the refused token.
    std::optional<QString> serviceProblem() const;

    void setNotionEnabled(bool enabled);
    // Stored exactly as typed.
    void setNotionToken(const QString &token);
    void setTokenVisible(bool visible);
    // A blank token gives "No token provided." at once; otherwise "Testing..." until the answer comes.
    void testConnection();

    // The status sentence for a test's outcome.
    static QString statusMessage(const NotionSearchResponse &response, std::chrono::milliseconds timeout);

Q_SIGNALS:
    void stateChanged();
    // A test's outcome was shown or dropped.
    void connectionTestFinished();

private:
    void persistSettings();
    void finishConnectionTest(const QString &testedToken, const NotionSearchResponse &response);

    NotionSettingsStore store_;
    NotionConnectionTestConfiguration connection_;
    NotificationCenter &center_;
    bool notionEnabled_ = false;
    QString notionToken_;
    bool tokenVisible_ = false;
    std::optional<QString> statusMessage_;
};

} // namespace orvex
