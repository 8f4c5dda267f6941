#include "panel/RemoteDocumentImages.h"

#include "PanelPaintTestSupport.h"
#include "fixtures/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::LoopbackHttpReply;
using test::LoopbackHttpServer;
using test::pngOf;

TEST(RemoteDocumentImages, TheDefaultHostServesTheFixedPaths) {
    RemoteDocumentImages images;
    EXPECT_EQ(images.imageURL(RemoteDocumentKind::googleSheets).toString(),
              QStringLiteral("https://ssl.gstatic.com/images/branding/product/2x/sheets_2020q4_48dp.png"));
    EXPECT_EQ(images.imageURL(RemoteDocumentKind::googleDocs).path(),
              QStringLiteral("/images/branding/product/2x/docs_2020q4_48dp.png"));
    EXPECT_EQ(images.imageURL(RemoteDocumentKind::googleSlides).path(),
              QStringLiteral("/images/branding/product/2x/slides_2020q4_48dp.png"));
}

TEST(RemoteDocumentImages, EachImageIsFetchedOnceAndKept) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.isListening());
    LoopbackHttpReply reply;
    reply.headers = {{"Content-Type", "image/png"}};
    reply.body = pngOf(QColor(15, 157, 88), 48);
    server.setDefaultReply(reply);

    RemoteDocumentImages images(server.baseURL());
    QSignalSpy finished(&images, &RemoteDocumentImages::imageFinished);
    EXPECT_FALSE(images.image(RemoteDocumentKind::googleSheets).has_value());
    EXPECT_FALSE(images.image(RemoteDocumentKind::googleSheets).has_value());
    ASSERT_TRUE(test::waitUntil([&] { return finished.size() == 1; }));
    const auto image = images.image(RemoteDocumentKind::googleSheets);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixelColor(24, 24).rgb(), QColor(15, 157, 88).rgb());
    images.image(RemoteDocumentKind::googleSheets);
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().first().target, "/images/branding/product/2x/sheets_2020q4_48dp.png");
}

TEST(RemoteDocumentImages, FailuresLeaveNoImageAndAreNotRetried) {
    struct Case {
        const char *name;
        LoopbackHttpReply reply;
    } cases[] = {
        {"not found", LoopbackHttpReply{404, {}, {}, "missing"}},
        {"server error", LoopbackHttpReply{500, {}, {}, pngOf(Qt::red, 48)}},
        {"not an image", LoopbackHttpReply{200, {}, {}, "<html>hello</html>"}},
        {"cut short",
         [] {
             LoopbackHttpReply r{200, {}, {{"Content-Length", "5000"}}, pngOf(Qt::red, 48)};
             r.closeAfterBytes = 60;
             return r;
         }()},
        {"too large",
         LoopbackHttpReply{200, {}, {}, QByteArray(RemoteDocumentImages::maxImageBytes + 10, 'x')}},
    };
    for (const auto &c : cases) {
        LoopbackHttpServer server;
        server.setDefaultReply(c.reply);
        RemoteDocumentImages images(server.baseURL());
        QSignalSpy finished(&images, &RemoteDocumentImages::imageFinished);
        images.image(RemoteDocumentKind::googleDocs);
        ASSERT_TRUE(test::waitUntil([&] { return finished.size() == 1; })) << c.name;
        EXPECT_FALSE(images.image(RemoteDocumentKind::googleDocs).has_value()) << c.name;
        EXPECT_EQ(server.requestCount(), 1) << c.name;
    }
}

TEST(RemoteDocumentImages, ARefusedConnectionIsAFailure) {
    QUrl closed;
    {
        LoopbackHttpServer server;
        closed = server.baseURL();
    }
    RemoteDocumentImages images(closed);
    QSignalSpy finished(&images, &RemoteDocumentImages::imageFinished);
    images.image(RemoteDocumentKind::googleSlides);
    ASSERT_TRUE(test::waitUntil([&] { return finished.size() == 1; }));
    EXPECT_FALSE(images.image(RemoteDocumentKind::googleSlides).has_value());
}

} // namespace
} // namespace orvex
