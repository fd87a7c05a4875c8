#include "screens/Unit_Main.h"
#include "station/Shutdown.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle);
    // No display name: the window system would add it to every window's caption.
    TMainForm form;
    // A signal, the end of the session or a lost display closes the station as Close does.
    StationShutdown shutdown(form);
    form.show();
    return app.exec();
}
