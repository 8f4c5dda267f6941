// orvex-search: the command-line front end to the launcher's search core.
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << "orvex-search: the search core is not wired up yet.\n";
    return 0;
}
