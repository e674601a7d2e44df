#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `bytes` so that neither a reader nor a crash ever sees a part of
// it: the bytes go to a new file in the same folder, are flushed to the disk, and that file is then
// renamed over the old one. On POSIX the new file has the permission bits `posixMode` from the
// moment it exists. The folder is not created.
//
// Throws std::runtime_error naming the file and the reason; the old file is then untouched.
void WriteFileAtomically(const QString& path, const QByteArray& bytes, int posixMode);
