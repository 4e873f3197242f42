#include "pdftoolspage.h"

// Text recognition: not offered on the toolbar yet.

void PdfToolsPage::runOcr() { }

void PdfToolsPage::copyOcrText() { }
