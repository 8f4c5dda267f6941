// Faults once found in the browser tab and bookmark sources, kept as regressions.
#include "fixtures/BrowserFixtures.h"
#include "sources/BrowserTabs.h"
#include "sources/ChromiumBookmarks.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// Addresses as browsers report them and write them into their bookmark files: characters such as "|",
// "^", "`", "{", "}" and a "%" without two hex digits stay unescaped there, although a strict
// parser refuses them. Each must give a tab and a bookmark, stored exactly as written.
TEST(BrowserAddresses, WhatBrowsersLeaveUnescapedIsStillAnAddress) {
    struct Case {
        const char *url;
        const char *host;
    };
    const Case cases[] = {
        {"https://fonts.googleapis.com/css?family=Roboto|Lato", "fonts.googleapis.com"},
        {"https://jira.example.com/issues/?jql=project%20%3D%20A^B", "jira.example.com"},
        {"https://api.example.com/v1/{id}/`raw`", "api.example.com"},
        {"https://shop.example.com/deals/100%-off", "shop.example.com"},
    };
    for (const Case &c : cases) {
        const QString url = QString::fromUtf8(c.url);
        const QString host = QString::fromUtf8(c.host);

        const auto tabs =
            BrowserTabs::parse(QString::fromUtf8(test::tabRecord(QStringLiteral("1"), QStringLiteral("1"),
                                                                 QStringLiteral("T"), url)),
                               QStringLiteral("Edge"), test::edgeBundleIdentifier);
        ASSERT_EQ(tabs.size(), 1) << c.url;
        EXPECT_EQ(tabs[0].urlString, url);
        EXPECT_EQ(tabs[0].host, host);

        QList<BrowserBookmarkShortcut> bookmarks;
        ChromiumBookmarks::collect(test::bookmarkNode(QStringLiteral("B"), url), QStringLiteral("Chrome"), {},
                                   bookmarks);
        ASSERT_EQ(bookmarks.size(), 1) << c.url;
        EXPECT_EQ(bookmarks[0].urlString, url);
        EXPECT_EQ(bookmarks[0].host, host);
    }

    // What is no address stays refused.
    for (const char *url : {"https://exa mple.com/", "https://exa|mple.com/", "https://a.example/x y",
                            "https://a.example/\x01", "https://a.example:port/",
                            // A browser reads the backslash as "/": the host is evil.example.
                            "https://evil.example\\@good.example/"}) {
        EXPECT_TRUE(BrowserTabs::parse(
                        QString::fromUtf8(test::tabRecord(QStringLiteral("1"), QStringLiteral("1"),
                                                          QStringLiteral("T"), QString::fromUtf8(url))),
                        QStringLiteral("Edge"), test::edgeBundleIdentifier)
                        .isEmpty())
            << url;
    }
}

} // namespace
} // namespace orvex
