#include "core/AtomicFile.h"

#include <stdexcept>

#ifdef _WIN32
#include <QSaveFile>
#else
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void Fail(const QString& path, const QString& reason)
{
    throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(path, reason).toStdString());
}

#ifndef _WIN32

QString ErrnoText(int error) { return QString::fromStdString(std::generic_category().message(error)); }

// The temporary file: closed and removed unless it has been renamed into place.
class TTempFile {
public:
    explicit TTempFile(const QString& target)
        : FTarget(target)
        , FName(QFile::encodeName(target) + ".XXXXXX")
    {
        FFd = ::mkstemp(FName.data());
        if (FFd < 0)
            Fail(FTarget, ErrnoText(errno));
    }
    ~TTempFile()
    {
        if (FFd >= 0)
            ::close(FFd);
        if (!FRenamed)
            ::unlink(FName.constData());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    void SetMode(int mode)
    {
        if (::fchmod(FFd, mode_t(mode)) != 0)
            Fail(FTarget, ErrnoText(errno));
    }

    void WriteAll(const QByteArray& bytes)
    {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(FFd, data, size_t(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                Fail(FTarget, ErrnoText(errno));
            }
            data += written;
            left -= written;
        }
    }

    void SyncAndClose()
    {
        if (::fsync(FFd) != 0)
            Fail(FTarget, ErrnoText(errno));
        const int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0)
            Fail(FTarget, ErrnoText(errno));
    }

    void RenameOverTarget()
    {
        if (::rename(FName.constData(), QFile::encodeName(FTarget).constData()) != 0)
            Fail(FTarget, ErrnoText(errno));
        FRenamed = true;
    }

private:
    const QString FTarget;
    QByteArray FName;
    int FFd = -1;
    bool FRenamed = false;
};

// Makes the rename itself durable; a failure here loses nothing already written.
void SyncFolderOf(const QString& path)
{
    const int fd =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

#endif

} // namespace

void WriteFileAtomically(const QString& path, const QByteArray& bytes, int posixMode)
{
#ifdef _WIN32
    (void)posixMode;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        Fail(path, file.errorString());
    if (file.write(bytes) != bytes.size())
        Fail(path, file.errorString());
    if (!file.commit())
        Fail(path, file.errorString());
#else
    TTempFile temp(path);
    temp.SetMode(posixMode);
    temp.WriteAll(bytes);
    temp.SyncAndClose();
    temp.RenameOverTarget();
    SyncFolderOf(path);
#endif
}
