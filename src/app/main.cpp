// The program's entry: the start folder is the current directory.
#include <QApplication>

#include "app/ui/smtapp.h"
#include "settings/ui/settings_wiring.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    smt::WireSettingsServices();
    return smt::theApp.Run(QApplication::arguments());
}
