#include "panel/RemoteDocumentImages.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace orvex {

namespace {

constexpr int transferTimeoutMilliseconds = 15000;

QString imagePath(RemoteDocumentKind kind) {
    switch (kind) {
    case RemoteDocumentKind::googleSheets:
        return QStringLiteral("/images/branding/product/2x/sheets_2020q4_48dp.png");
    case RemoteDocumentKind::googleDocs:
        return QStringLiteral("/images/branding/product/2x/docs_2020q4_48dp.png");
    case RemoteDocumentKind::googleSlides:
        return QStringLiteral("/images/branding/product/2x/slides_2020q4_48dp.png");
    }
    return {};
}

} // namespace

RemoteDocumentImages::RemoteDocumentImages(QUrl baseURL, QObject *parent)
    : QObject(parent), baseURL_(std::move(baseURL)), network_(new QNetworkAccessManager(this)) {}

RemoteDocumentImages::~RemoteDocumentImages() = default;

RemoteDocumentImages &RemoteDocumentImages::shared() {
    static auto *images = new RemoteDocumentImages(defaultBaseURL, qApp);
    return *images;
}

QUrl RemoteDocumentImages::imageURL(RemoteDocumentKind kind) const {
    QUrl url = baseURL_;
    url.setPath(imagePath(kind));
    return url;
}

std::optional<QImage> RemoteDocumentImages::image(RemoteDocumentKind kind) {
    const int key = int(kind);
    if (auto found = entries_.constFind(key); found != entries_.constEnd()) {
        if (found->state == State::loaded)
            return found->image;
        return std::nullopt;
    }
    entries_.insert(key, Entry{});
    QNetworkRequest request(imageURL(kind));
    request.setTransferTimeout(transferTimeoutMilliseconds);
    QNetworkReply *reply = network_->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > maxImageBytes || total > maxImageBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, kind, reply] { finish(kind, reply); });
    return std::nullopt;
}

void RemoteDocumentImages::finish(RemoteDocumentKind kind, QNetworkReply *reply) {
    reply->deleteLater();
    Entry &entry = entries_[int(kind)];
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QImage image;
    if (reply->error() == QNetworkReply::NoError && status == 200)
        image = QImage::fromData(reply->read(maxImageBytes + 1));
    if (image.isNull()) {
        entry.state = State::failed;
    } else {
        entry.state = State::loaded;
        entry.image = image;
    }
    Q_EMIT imageFinished(kind);
}

} // namespace orvex
