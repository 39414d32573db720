// The panel handles of ui/program.h, for tests that link core code without the start-up that
// owns them. Tests set main_panel to a handle from LoadPanel.
#include "ui/program.h"

int main_panel = 0;
int txt_panel = -1;
int hlp_panel = -1;
