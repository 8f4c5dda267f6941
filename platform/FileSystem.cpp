#include "platform/FileSystem.h"

#include <QFile>

#include <cstring>
#include <filesystem>
#include <system_error>

namespace orvex::FileSystem {

QString errorText(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

int createFolder(const QString &path) {
    std::error_code code;
    const std::filesystem::path native(QFile::encodeName(path).toStdString());
    std::filesystem::create_directories(native, code);
    // create_directories reports success for an existing folder, but also stays silent in some
    // versions when a file stands at the path: check what is there.
    if (!code && !std::filesystem::is_directory(native, code) && !code)
        code = std::make_error_code(std::errc::not_a_directory);
    return code ? code.value() : 0;
}

} // namespace orvex::FileSystem
