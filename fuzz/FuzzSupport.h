#pragma once

// Shared by the libFuzzer targets: a private home for the process, checks that stop the run with a
// report, and the conversions from the fuzzer's bytes.
#include "platform/PlistValue.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvex {
class DatabaseManager;
class UserDefaults;
} // namespace orvex

namespace orvex::fuzz {

// Points HOME and the XDG folders at a fresh temporary folder, so nothing a target runs can read or
// write the real home. Call from LLVMFuzzerInitialize.
void isolateHome();
// The temporary home made by isolateHome().
QString homePath();

// Prints what failed and aborts, which libFuzzer reports as a crash with the input that caused it.
[[noreturn]] void fail(const char *file, int line, const char *condition);

inline QByteArray bytes(const uint8_t *data, size_t size) {
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}
inline QString text(const uint8_t *data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// What the defaults file does with a value read from disk: write it and read it back. The binary form
// must read back exactly and write again to the same bytes; the XML form, where it can carry the
// value, must read back and give the same bytes on every save after the first.
void checkRoundTrip(const PlistValue &value);

// A manager over `defaults` as the launcher runs it, minus the outside world: no index database, no
// background refresh, a fixed clock; learned counts and recent activations on, the persistent query
// cache off (it has its own target).
std::unique_ptr<DatabaseManager> makeManager(UserDefaults &defaults);

} // namespace orvex::fuzz

#define ORVEX_FUZZ_CHECK(condition)                                                                          \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::orvex::fuzz::fail(__FILE__, __LINE__, #condition);                                             \
    } while (false)
