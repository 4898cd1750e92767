// The About box on its own, pointed at an update server given on the command
// line, with checks run as if the user had pressed "Check For Updates".
// For screenshots (scripts/screenshot-about.sh); not part of the program.
//
//   about_box_demo HOST PORT [AGAIN_FILE]
//
// Checks once and prints "checked 1" when the box shows the result. With
// AGAIN_FILE, checks a second time as soon as that file exists and prints
// "checked 2".

#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "ui/qt/application.h"
#include "ui/qt/fAbout.h"

namespace {

void Check(tarnwell::TfrmAbout& box, int count) {
    box.findChild<QPushButton*>(QStringLiteral("cmdUpdates"))->click();
    box.repaint();
    std::printf("checked %d\n", count);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    tarnwell::TarnwellApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s HOST PORT [AGAIN_FILE]\n", argv[0]);
        return 2;
    }
    bool valid = false;
    const ushort port = QString::fromLocal8Bit(argv[2]).toUShort(&valid);
    if (!valid || port == 0) {
        std::fprintf(stderr, "not a port: %s\n", argv[2]);
        return 2;
    }
    const QString again = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();

    tarnwell::TfrmAbout box(nullptr, tarnwell::UpdateServer{argv[1], port});
    box.move(20, 20);
    box.show();
    QTimer poll;
    QTimer::singleShot(200, &box, [&] {
        Check(box, 1);
        if (again.isEmpty()) return;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, &box, [&] {
            if (!QFileInfo::exists(again)) return;
            poll.stop();
            Check(box, 2);
        });
        poll.start();
    });
    return app.exec();
}
