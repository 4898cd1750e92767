// Tarnwell: watches folders and reports every change the file system announces.

#include "ui/application.h"

int main(int argc, char** argv) {
    tarnwell::TarnwellApplication app(argc, argv);
    return tarnwell::RunTarnwell(app);
}
