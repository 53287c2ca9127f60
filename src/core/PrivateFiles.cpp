#include "core/PrivateFiles.h"

#include "core/CoreLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t othersAccess = S_IRWXG | S_IRWXO;

QString reason() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Given what stat saw, takes others' access away through `change`; another
// user's file is left alone.
template <typename Change>
bool tightenSeen(const struct stat& st, const QString& path, Change change)
{
    if (st.st_uid != ::geteuid()) {
        qCWarning(lcCore, "%ls belongs to another user; its access is left as it is", qUtf16Printable(path));
        return false;
    }
    if ((st.st_mode & othersAccess) == 0)
        return true;
    if (change(st.st_mode & 07777 & ~othersAccess) != 0) {
        qCWarning(lcCore, "Cannot make %ls private: %ls", qUtf16Printable(path), qUtf16Printable(reason()));
        return false;
    }
    return true;
}

// Checks and changes the object behind the descriptor, so what was looked at
// is what gets changed, whatever happens to the name meanwhile.
bool tightenOpened(int fd, const QString& path)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        qCWarning(lcCore, "Cannot inspect %ls: %ls", qUtf16Printable(path), qUtf16Printable(reason()));
        return false;
    }
    return tightenSeen(st, path, [fd](mode_t mode) { return ::fchmod(fd, mode); });
}

// For what cannot be opened for reading (an owner without read access): the
// name is changed without following a link in its place.
bool tightenUnopened(const QByteArray& native, const QString& path)
{
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return errno == ENOENT;
    if (S_ISLNK(st.st_mode)) {
        qCWarning(lcCore, "%ls is a symbolic link; left as it is", qUtf16Printable(path));
        return false;
    }
    return tightenSeen(st, path, [&native](mode_t mode) {
        return ::fchmodat(AT_FDCWD, native.constData(), mode, AT_SYMLINK_NOFOLLOW);
    });
}

} // namespace

namespace PrivateFiles {

bool tighten(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        if (errno == ELOOP) {
            qCWarning(lcCore, "%ls is a symbolic link; left as it is", qUtf16Printable(path));
            return false;
        }
        return tightenUnopened(native, path);
    }
    const bool tightened = tightenOpened(fd, path);
    ::close(fd);
    return tightened;
}

bool makeFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL also refuses a link in the file's place, dangling or not.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600); // whatever the umask took away
        ::close(fd);
        return true;
    }
    if (errno != EEXIST) {
        qCWarning(lcCore, "Cannot create %ls: %ls", qUtf16Printable(path), qUtf16Printable(reason()));
        return false;
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return false; // not a file: whoever opens it reports that
    tighten(path);
    return true;
}

bool makeFolders(const QString& folder, const QString& ownFolder)
{
    const QString target = QDir::cleanPath(QDir(folder).absolutePath());
    const QString own = ownFolder.isEmpty() ? QString() : QDir::cleanPath(QDir(ownFolder).absolutePath());
    QString path;
    for (const QString& part : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        const bool owned = !own.isEmpty() && (path == own || path.startsWith(own + QLatin1Char('/')));
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), owned ? 0700 : 0777) == 0)
            continue;
        if (errno != EEXIST) {
            qCWarning(lcCore, "Cannot create %ls: %ls", qUtf16Printable(path), qUtf16Printable(reason()));
            return false;
        }
        if (owned)
            tighten(path);
    }
    return true;
}

} // namespace PrivateFiles

Result<void> PrivateFiles::writeAtomically(const QString& path, const QByteArray& data)
{
    // QTemporaryFile makes its file 0600 and removes it unless told otherwise.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return Error{file.errorString()};
    if (file.write(data) != data.size() || !file.flush() || ::fsync(file.handle()) != 0)
        return Error{file.errorString()};
    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(path);
    if (::rename(from.constData(), to.constData()) != 0)
        return Error{reason()};
    file.setAutoRemove(false);
    return {};
}
