#include "support/neat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace NEAT {

int OpenFile(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* error)
{
    file.setFileName(path);
    if (file.open(mode))
        return 1;
    if (error)
        *error = QString("Open file '%1' failed, it may be occupied by other process")
                     .arg(QFileInfo(path).fileName());
    return 0;
}

int ReadFile(const QString& path, unsigned int offset, unsigned int length, unsigned char* destination,
             QString* error)
{
    QFile file;
    if (!OpenFile(file, path, QIODevice::ReadOnly, error))
        return 0;
    if (file.seek(offset))
        file.read(reinterpret_cast<char*>(destination), length);
    return 1;
}

int WriteFile(const QString& path, const unsigned char* data, unsigned int length, QString* error)
{
    QFile file;
    if (!OpenFile(file, path, QIODevice::WriteOnly | QIODevice::Truncate, error))
        return 0;
    file.write(reinterpret_cast<const char*>(data), length);
    return 1;
}

void remove_if_exist(const QString& path)
{
    if (QFile::exists(path))
        QFile::remove(path);
}

QString get_folder_from_path(const QString& path)
{
    QString folder = QFileInfo(path).absolutePath();
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

QString get_folder_from_path(const QString& path, QString& folder)
{
    folder = get_folder_from_path(path);
    return folder;
}

}  // namespace NEAT
