#include "screens/Unit_Main.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle);
    // No display name: the window system would add it to every window's caption.
    TMainForm form;
    form.show();
    return app.exec();
}
