// The program's entry: the start folder is the current directory.
#include <QApplication>

#include "app/ui/smtapp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return smt::theApp.Run(QApplication::arguments());
}
