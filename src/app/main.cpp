// Tarnwell: watches folders and reports every change the file system announces.

#include <QDirIterator>
#include <QIcon>

#include "ui/qt/application.h"

namespace {

// Every size of the menu entry's picture, so that the title bar, the task bar
// and the window switcher each get a sharp one instead of a scaled copy.
QIcon WindowIcon() {
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), QDir::Dirs);
    while (sizes.hasNext()) icon.addFile(sizes.next() + QStringLiteral("/tarnwell.png"));
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    tarnwell::TarnwellApplication app(argc, argv);
    app.setWindowIcon(WindowIcon());
    return tarnwell::RunTarnwell(app);
}
