// The program's entry: the start folder is the current directory.
#include <QApplication>

#include "app/ui/program_wiring.h"
#include "app/ui/smtapp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    smt::WireProgram();
    return smt::theApp.Run(QApplication::arguments());
}
