#include "pdftoolspage.h"

// Page commands: not offered on the toolbar yet.

void PdfToolsPage::openDocument() { }

void PdfToolsPage::addPagesAtEnd() { }

void PdfToolsPage::insertPageAfterSelected() { }

void PdfToolsPage::rotateSelectedLeft() { }

void PdfToolsPage::rotateSelectedRight() { }

void PdfToolsPage::removeSelected() { }

void PdfToolsPage::toggleBlackAndWhiteSelected() { }

void PdfToolsPage::compressDocument() { }
