// Shows the About window alone, as the Help menu shows it, so that it can be looked at
// and photographed without a catalogue. Closing it ends the program.

#include "extras/aboutform.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TAboutForm form;
    return form.exec() >= 0 ? 0 : 1;
}
