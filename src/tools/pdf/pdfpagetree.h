#pragma once

class QByteArray;

// Whether the page tree of pdf may lead back into itself: a node of type Pages that is, through
// its Kids, its own descendant. Qt Pdf's engine never returns from loading such a file. Objects
// are read from plain text and from object streams (unfiltered or Flate); every definition of an
// object counts, since the engine may take any of them. Also true when the file cannot be
// checked: object streams in other encodings or unpacking to more than 64 MiB, an object holding
// more than 32 MiB of what a page tree needs, or a file built to make the scan go over it many
// times. Encrypted object streams are not read.
bool pdfPageTreeMayLoop(const QByteArray &pdf);
