#pragma once

#include <QTemporaryDir>

namespace orvex::test {

// Points HOME and the XDG folders into `root` so that no test touches the real home, the real defaults
// or the real autostart folder. Returns false when the folders cannot be made.
bool isolateTestEnvironment(const QTemporaryDir &root);

} // namespace orvex::test
