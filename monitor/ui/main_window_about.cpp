#include "main_window.h"

#include "about_dialog.h"

// About1: the About box is made for one showing and freed when it closes.
void TfmMain::ShowAbout() {
    TfmAbout about(this);
    about.exec();
}
