#include "pdftoolspage.h"

// Saving, export, merge and split: not offered on the toolbar yet.

void PdfToolsPage::saveAs() { }

void PdfToolsPage::exportSelectedAsImage() { }

void PdfToolsPage::exportAllAsImages() { }

void PdfToolsPage::mergeFiles() { }

void PdfToolsPage::splitDocument() { }
