#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace orvex {

// The three link-file kinds whose icon is an image from the web.
enum class RemoteDocumentKind { googleSheets, googleDocs, googleSlides };

// Fetches the icons of Google Sheets, Docs and Slides link files once per process over HTTPS (the host
// is injectable for tests). Until an image arrives, and for good when its fetch fails, there is none and
// rows show their placeholder symbol. GUI thread only; nothing here ever blocks.
class RemoteDocumentImages : public QObject {
    Q_OBJECT

public:
    static inline const QUrl defaultBaseURL{QStringLiteral("https://ssl.gstatic.com")};
    // Larger answers are no icon.
    static constexpr qint64 maxImageBytes = 1024 * 1024;

    explicit RemoteDocumentImages(QUrl baseURL = defaultBaseURL, QObject *parent = nullptr);
    ~RemoteDocumentImages() override;

    static RemoteDocumentImages &shared();

    // The image once fetched; none while it loads (the first call starts the fetch) or after a failure.
    std::optional<QImage> image(RemoteDocumentKind kind);
    QUrl imageURL(RemoteDocumentKind kind) const;

Q_SIGNALS:
    // A fetch ended, with an image or not.
    void imageFinished(orvex::RemoteDocumentKind kind);

private:
    enum class State { loading, loaded, failed };
    struct Entry {
        State state = State::loading;
        QImage image;
    };

    void finish(RemoteDocumentKind kind, QNetworkReply *reply);

    QUrl baseURL_;
    QNetworkAccessManager *network_;
    QHash<int, Entry> entries_;
};

} // namespace orvex
