#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

// Writes content to a file of the sandbox, replacing it.
inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A file's bytes, or nothing when it cannot be read.
[[nodiscard]] inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
