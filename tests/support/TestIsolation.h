#pragma once

#include <QTemporaryDir>

namespace orvex::test {

// Points HOME and the XDG folders into `root` so that no test or fuzz target touches the real home, the
// real defaults or the real autostart folder; HOME is `root`/home. Returns false when the folders cannot
// be made.
bool isolateTestEnvironment(const QTemporaryDir &root);

} // namespace orvex::test
