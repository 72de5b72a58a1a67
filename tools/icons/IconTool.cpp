// ui_icons DIR: draws the program's icon at every size it carries and writes
// DIR/glassbench-SIZE.png for each and DIR/glassbench.ico holding them all.
// scripts/make-icons.sh runs it into data/icons.
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <vector>

#include "IconArt.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_icons DIR\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    std::vector<QByteArray> pngs;
    for (const int size : glassbench::icons::kIconSizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        glassbench::icons::DrawIcon(size).save(&buffer, "PNG");
        pngs.push_back(png);
        QFile file(dir + QStringLiteral("/glassbench-%1.png").arg(size));
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size()) {
            std::fprintf(stderr, "ui_icons: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    QFile ico(dir + QStringLiteral("/glassbench.ico"));
    const QByteArray bytes = glassbench::icons::IcoFile(pngs);
    if (!ico.open(QIODevice::WriteOnly) || ico.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "ui_icons: cannot write %s\n", qPrintable(ico.fileName()));
        return 1;
    }
    return 0;
}
