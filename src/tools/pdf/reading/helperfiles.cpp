#include "helperfiles.h"

#include "renderprotocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include "win32helper.h"
#else
#include <QDateTime>
#include <QTemporaryFile>
#endif

namespace pdf {

namespace {

void closeHandle(qintptr handle)
{
#if defined(Q_OS_WIN)
    win32::closeHandle(reinterpret_cast<win32::Handle>(handle));
#elif defined(Q_OS_UNIX)
    ::close(int(handle));
#else
    Q_UNUSED(handle);
#endif
}

#ifdef Q_OS_LINUX
bool sameContent(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// A page area's memory file, held by the area while the helper writes it and by every page
// mapped from it until the last one is gone.
struct AreaMemory
{
    int fd = -1;
    ~AreaMemory()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

struct Mapping
{
    void *address;
    size_t length;
    std::shared_ptr<AreaMemory> area;
    off_t offset;
    off_t extent; // up to the next page's start
};

// When the last image of a page goes: its mapping, and its part of the area, whose memory would
// otherwise stay taken for as long as any other page of the area lives. Each page is mapped
// once, and once its helper has ended nothing else writes the area, so the range is this page's
// alone.
void releasePage(void *info)
{
    const auto *mapping = static_cast<Mapping *>(info);
    munmap(mapping->address, mapping->length);
    fallocate(mapping->area->fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, mapping->offset,
        mapping->extent);
    delete mapping;
}
#endif

} // namespace

HelperFile HelperFile::inherited(qintptr handle)
{
    HelperFile file;
    file.m_handle = handle;
    return file;
}

HelperFile HelperFile::named(const QString &path)
{
    HelperFile file;
    file.m_path = path;
    return file;
}

HelperFile::HelperFile(HelperFile &&other) noexcept
    : m_handle(std::exchange(other.m_handle, -1))
    , m_path(std::move(other.m_path))
{ }

HelperFile &HelperFile::operator=(HelperFile &&other) noexcept
{
    if (this != &other) {
        if (m_handle >= 0) {
            closeHandle(m_handle);
        }
        m_handle = std::exchange(other.m_handle, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

HelperFile::~HelperFile()
{
    if (m_handle >= 0) {
        closeHandle(m_handle);
    }
}

QString HelperFile::argument() const
{
    return m_handle >= 0 ? descriptorArgument(int(m_handle)) : m_path;
}

#if defined(Q_OS_LINUX)

struct SourceFile::Private
{
    QString path;
    int fd = -1;
    struct stat identity
    {
    };
};

SourceFile::SourceFile()
    : d(std::make_unique<Private>())
{ }

SourceFile::~SourceFile()
{
    if (d->fd >= 0) {
        ::close(d->fd);
    }
}

bool SourceFile::open(const QString &path)
{
    d->path = path;
    // Not blocking: opening a pipe would wait for a writer.
    d->fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    return d->fd >= 0 && fstat(d->fd, &d->identity) == 0 && S_ISREG(d->identity.st_mode);
}

HelperFile SourceFile::forHelper() const
{
    // Opened again through this process's own descriptor, not its name: the very file, with a
    // file position of its own. Where /proc is missing, by name, and only if it is the same file.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(QByteArray("/proc/self/fd/" + QByteArray::number(d->fd)).constData(), flags);
    if (fd < 0) {
        fd = ::open(QFile::encodeName(d->path).constData(), flags);
        struct stat opened = {};
        if (fd >= 0 && (fstat(fd, &opened) != 0 || !sameContent(opened, d->identity))) {
            ::close(fd);
            fd = -1;
        }
    }
    return fd >= 0 ? HelperFile::inherited(fd) : HelperFile();
}

bool SourceFile::isUnchanged() const
{
    struct stat now = {};
    struct stat named = {};
    return fstat(d->fd, &now) == 0 && sameContent(now, d->identity)
        && stat(QFile::encodeName(d->path).constData(), &named) == 0
        && sameContent(named, d->identity);
}

#elif defined(Q_OS_WIN)

struct SourceFile::Private
{
    QString path;
    win32::Handle file = nullptr;
    win32::FileIdentity identity;
};

SourceFile::SourceFile()
    : d(std::make_unique<Private>())
{ }

SourceFile::~SourceFile()
{
    win32::closeHandle(d->file);
}

bool SourceFile::open(const QString &path)
{
    d->path = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    d->file =
        win32::openForReading(reinterpret_cast<const wchar_t *>(d->path.utf16()), &d->identity);
    return d->file != nullptr;
}

HelperFile SourceFile::forHelper() const
{
    const win32::Handle handle = win32::reopenForChild(d->file, false);
    return handle ? HelperFile::inherited(reinterpret_cast<qintptr>(handle)) : HelperFile();
}

bool SourceFile::isUnchanged() const
{
    win32::FileIdentity now;
    win32::FileIdentity named;
    return win32::identify(d->file, &now) && now == d->identity
        && win32::identifyPath(reinterpret_cast<const wchar_t *>(d->path.utf16()), &named)
        && named == d->identity;
}

#else

struct SourceFile::Private
{
    QString absolutePath;
    qint64 size = 0;
    QDateTime modified;
};

SourceFile::SourceFile()
    : d(std::make_unique<Private>())
{ }

SourceFile::~SourceFile() = default;

bool SourceFile::open(const QString &path)
{
    const QFileInfo info(path);
    d->absolutePath = info.absoluteFilePath();
    d->size = info.size();
    d->modified = info.lastModified();
    return info.isFile() && info.isReadable();
}

HelperFile SourceFile::forHelper() const
{
    return HelperFile::named(d->absolutePath);
}

bool SourceFile::isUnchanged() const
{
    const QFileInfo info(d->absolutePath);
    return info.isFile() && info.size() == d->size && info.lastModified() == d->modified;
}

#endif

struct PageArea::Private
{
    QList<QSize> sizes;
    PageAreaLayout layout;
#if defined(Q_OS_LINUX)
    std::shared_ptr<AreaMemory> memory = std::make_shared<AreaMemory>();
#elif defined(Q_OS_WIN)
    win32::Handle file = nullptr;
#else
    std::unique_ptr<QTemporaryFile> file;
#endif
};

PageArea::PageArea(const QList<QSize> &sizes)
    : d(std::make_unique<Private>())
{
    d->sizes = sizes;
    d->layout = pageAreaLayout(sizes);
}

PageArea::~PageArea()
{
#if defined(Q_OS_WIN)
    win32::closeHandle(d->file);
#endif
}

qint64 PageArea::bytes() const
{
    return d->layout.bytes;
}

bool PageArea::create()
{
#if defined(Q_OS_LINUX)
    // Not sealed against writing: that would forbid giving a page's memory back.
    const int fd = d->memory->fd = memfd_create("mirvale-pages", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    return fd >= 0 && ftruncate(fd, off_t(d->layout.bytes)) == 0
        && fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0;
#elif defined(Q_OS_WIN)
    const QString folder = QDir::toNativeSeparators(QDir::tempPath());
    d->file = win32::createPageFile(
        reinterpret_cast<const wchar_t *>(folder.utf16()), quint64(d->layout.bytes));
    return d->file != nullptr;
#else
    d->file = std::make_unique<QTemporaryFile>(
        QDir(QDir::tempPath()).filePath(QStringLiteral("mirvale-pages-XXXXXX")));
    return d->file->open() && d->file->resize(d->layout.bytes);
#endif
}

HelperFile PageArea::forHelper() const
{
#if defined(Q_OS_LINUX)
    // The same memory file; its file position is the helper's alone, since this process only
    // maps it.
    const int fd = fcntl(d->memory->fd, F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? HelperFile::inherited(fd) : HelperFile();
#elif defined(Q_OS_WIN)
    const win32::Handle handle = win32::reopenForChild(d->file, true);
    return handle ? HelperFile::inherited(reinterpret_cast<qintptr>(handle)) : HelperFile();
#else
    return HelperFile::named(QFileInfo(d->file->fileName()).absoluteFilePath());
#endif
}

QImage PageArea::page(int i, bool *outOfMemory) const
{
    *outOfMemory = false;
    if (i < 0 || i >= d->sizes.size()) {
        return {};
    }
    const QSize size = d->sizes.at(i);
    const qint64 offset = d->layout.offsets.at(i);
    const qint64 bytes = pageBytes(size);
#if defined(Q_OS_LINUX)
    const int fd = d->memory->fd;
    void *address =
        mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, off_t(offset));
    if (address == MAP_FAILED) {
        *outOfMemory = errno == ENOMEM;
        return {};
    }
    const qint64 next = i + 1 < d->sizes.size() ? d->layout.offsets.at(i + 1) : d->layout.bytes;
    auto *mapping =
        new Mapping { address, size_t(bytes), d->memory, off_t(offset), off_t(next - offset) };
    QImage image(static_cast<uchar *>(address), size.width(), size.height(),
        qsizetype(size.width()) * kPageBytesPerPixel, kPageFormat, releasePage, mapping);
    if (image.isNull()) {
        releasePage(mapping);
    }
    return image;
#else
    QImage image(size, kPageFormat);
    if (image.isNull() || image.sizeInBytes() != bytes) {
        *outOfMemory = image.isNull();
        return {};
    }
#if defined(Q_OS_WIN)
    quint64 areaBytes = 0;
    if (!win32::fileSize(d->file, &areaBytes) || areaBytes != quint64(d->layout.bytes)
        || !win32::readAt(d->file, quint64(offset), image.bits(), quint64(bytes))) {
        return {};
    }
#else
    if (d->file->size() != d->layout.bytes || !d->file->seek(offset)
        || d->file->read(reinterpret_cast<char *>(image.bits()), bytes) != bytes) {
        return {};
    }
#endif
    return image;
#endif
}

} // namespace pdf
