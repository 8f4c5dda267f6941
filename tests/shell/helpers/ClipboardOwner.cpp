// Owns the clipboard of the display it runs on, holding the text of the file it is given, as another
// application that copied it would; prints "owner" once it does and serves the text until it is stopped.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2)
        return 2;
    QFile file(QFile::decodeName(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 3;
    QGuiApplication::clipboard()->setText(QString::fromUtf8(file.readAll()), QClipboard::Clipboard);
    std::puts("owner");
    std::fflush(stdout);
    return application.exec();
}
