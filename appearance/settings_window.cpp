// The settings window and its colour and font pickers.
#include "fp.h"

void fp::settings() {}
void fp::passcol() {}
void fp::passcol2() {}
void fp::passcol3() {}
void fp::passcol4() {}
void fp::passcol5() {}
void fp::passcol6() {}
void fp::opencolor(QColor ccol)
{
    Q_UNUSED(ccol);
}
void fp::openfont(QFont cfont)
{
    Q_UNUSED(cfont);
}
void fp::ch_tab() {}
void fp::ch_all() {}
