// The program: one main window with its help and info windows, at most one running copy.

#include "app/window/form1.h"
#include "app/window/formhilfe.h"
#include "app/window/forminfo.h"
#include "app/window/oneinstance.h"
#include "app/window/plotmiraapplication.h"

#include <clocale>

int main(int argc, char** argv) {
    PlotmiraApplication app(argc, argv);
    // Typed numbers and shown values follow the user's decimal separator.
    std::setlocale(LC_ALL, "");

    TOneInstance guard;
    if (!guard.IsFirstInstance()) {
        guard.HandOver();
        return 0;
    }

    TForm1 form;
    guard.SetMainWindow(&form);
    TFormInfo info(&form);
    TFormHilfe hilfe(&form);
    form.SetSecondaryWindows(&info, &hilfe);
    form.show();
    return app.exec();
}
