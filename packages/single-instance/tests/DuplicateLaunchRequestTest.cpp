#include "single-instance/DuplicateLaunchRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace orvex {
namespace {

DuplicateLaunchRequest sample() {
    DuplicateLaunchRequest request;
    request.arguments = {QStringLiteral("--show"), QStringLiteral("wörd with space")};
    request.fileURLs = {QUrl::fromLocalFile(QStringLiteral("/tmp/a b/ü.txt")),
                        QUrl(QStringLiteral("https://example.org/x?y=1"))};
    request.createdAt = QDateTime::fromString(QStringLiteral("2026-12-08T07:01:48Z"), Qt::ISODate);
    return request;
}

TEST(DuplicateLaunchRequest, WritesTheThreeKeysCompactlyWithAnIsoDate) {
    DuplicateLaunchRequest request = sample();
    request.createdAt = request.createdAt.addMSecs(750); // only whole seconds are written
    const QByteArray json = request.toJson();
    EXPECT_FALSE(json.contains('\n'));
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(object.keys(), (QStringList{QStringLiteral("arguments"), QStringLiteral("createdAt"),
                                          QStringLiteral("fileURLs")}));
    EXPECT_EQ(object.value(QStringLiteral("createdAt")).toString(), QStringLiteral("2026-12-08T07:01:48Z"));
    EXPECT_EQ(object.value(QStringLiteral("fileURLs")).toArray().at(0).toString(),
              QStringLiteral("file:///tmp/a%20b/%C3%BC.txt"));
    EXPECT_EQ(DuplicateLaunchRequest::fromJson(json), sample());
}

TEST(DuplicateLaunchRequest, EmptyOnlyWithoutArgumentsAndFiles) {
    DuplicateLaunchRequest request;
    EXPECT_TRUE(request.isEmpty());
    request.fileURLs = {QUrl(QStringLiteral("file:///x"))};
    EXPECT_FALSE(request.isEmpty());
    request = {};
    request.arguments = {QString()};
    EXPECT_FALSE(request.isEmpty());
}

TEST(DuplicateLaunchRequest, ReadsOffsetsAndFractionsAsTheSameMoment) {
    const auto request = DuplicateLaunchRequest::fromJson(
        R"({"arguments":[],"fileURLs":[],"createdAt":"2026-12-08T09:01:48.000+02:00"})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->createdAt, sample().createdAt);
}

TEST(DuplicateLaunchRequest, RefusesAnythingButTheExactShape) {
    const char *rejected[] = {
        "",
        "not json",
        "[]",
        R"({"fileURLs":[],"createdAt":"2026-12-08T07:01:48Z"})",
        R"({"arguments":[],"createdAt":"2026-12-08T07:01:48Z"})",
        R"({"arguments":[],"fileURLs":[]})",
        R"({"arguments":"a","fileURLs":[],"createdAt":"2026-12-08T07:01:48Z"})",
        R"({"arguments":[1],"fileURLs":[],"createdAt":"2026-12-08T07:01:48Z"})",
        R"({"arguments":[],"fileURLs":[""],"createdAt":"2026-12-08T07:01:48Z"})",
        R"({"arguments":[],"fileURLs":["http://exa mple.org/"],"createdAt":"2026-12-08T07:01:48Z"})",
        R"({"arguments":[],"fileURLs":[{}],"createdAt":"2026-12-08T07:01:48Z"})",
        R"({"arguments":[],"fileURLs":[],"createdAt":"yesterday"})",
        R"({"arguments":[],"fileURLs":[],"createdAt":"2026-12-08T07:01:48"})",
        R"({"arguments":[],"fileURLs":[],"createdAt":1234})",
    };
    for (const char *json : rejected)
        EXPECT_FALSE(DuplicateLaunchRequest::fromJson(json)) << json;
}

TEST(DuplicateLaunchRequest, EqualOnlyWhenAllFieldsAre) {
    DuplicateLaunchRequest other = sample();
    EXPECT_EQ(other, sample());
    other.arguments.removeLast();
    EXPECT_NE(other, sample());
    other = sample();
    other.createdAt = other.createdAt.addSecs(1);
    EXPECT_NE(other, sample());
    other = sample();
    std::swap(other.fileURLs[0], other.fileURLs[1]);
    EXPECT_NE(other, sample());
}

} // namespace
} // namespace orvex
