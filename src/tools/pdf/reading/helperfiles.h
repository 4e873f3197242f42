#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <memory>

namespace pdf {

// The files a render helper is handed, as renderprotocol.h describes them: on Linux descriptors
// and on Windows handles that it inherits, elsewhere absolute paths (so that a name starting with
// "-" is never taken for an option).

// One file as one helper gets it, owned: the program's copy is closed with this object.
class HelperFile
{
public:
    HelperFile() = default;
    static HelperFile inherited(qintptr handle);
    static HelperFile named(const QString &path);
    HelperFile(HelperFile &&other) noexcept;
    HelperFile &operator=(HelperFile &&other) noexcept;
    HelperFile(const HelperFile &) = delete;
    HelperFile &operator=(const HelperFile &) = delete;
    ~HelperFile();

    bool isValid() const { return m_handle >= 0 || !m_path.isEmpty(); }
    // The descriptor or handle the helper inherits; -1 for a named file.
    qintptr handle() const { return m_handle; }
    QString argument() const;

private:
    qintptr m_handle = -1;
    QString m_path;
};

// The PDF, opened once: each helper reads this very file, through a handle of its own with a
// file position of its own. A file changed or replaced since it was opened is refused, so pages
// of two versions never make one document.
class SourceFile
{
public:
    SourceFile();
    ~SourceFile();
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;

    // False for anything but a regular file that can be read.
    bool open(const QString &path);
    HelperFile forHelper() const;
    // Whether the open file and the file now at its path are still the one first opened, with
    // the same size and modification time.
    bool isUnchanged() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Where one helper puts its pages (at the places pageAreaLayout gives). On Linux an anonymous
// memory file, sized here and sealed at that size before the helper starts: it has no name to
// leave behind, no file system limits it, and since it can never shrink, a mapped page never
// loses its memory; once the last image of a page is gone, that page's part of it is given back.
// On Windows a file in the temporary folder that the system deletes once the
// program and the helper have closed it, even after a kill. Elsewhere a temporary file.
class PageArea
{
public:
    explicit PageArea(const QList<QSize> &sizes);
    ~PageArea();
    PageArea(const PageArea &) = delete;
    PageArea &operator=(const PageArea &) = delete;

    bool create();
    qint64 bytes() const;
    HelperFile forHelper() const;
    // Page i as an image in kPageFormat, to be asked once for each page; null when it cannot be
    // had, and then *outOfMemory tells whether memory was what lacked. On Linux it is the
    // area's memory itself, mapped privately (an edit copies only the memory pages it changes),
    // and stays valid after the area is gone; elsewhere it is read back, once the area's size is
    // checked.
    QImage page(int i, bool *outOfMemory) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace pdf
