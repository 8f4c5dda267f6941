#pragma once

#include <QList>
#include <QString>

namespace orvex {

// A run of snippet text, highlighted where the index marked a match.
struct SnippetSegment {
    QString text;
    bool isHighlighted = false;

    bool operator==(const SnippetSegment &) const = default;
};

// The runs of an index snippet, split at its "<mark>" and "</mark>" tags; line breaks become spaces.
QList<SnippetSegment> parseSnippetSegments(const QString &snippet);

} // namespace orvex
