#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// A file's bytes; empty when it cannot be read.
QByteArray readAll(const QString& path);

inline constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
inline constexpr QFileDevice::Permissions kRunnable = kOwnerOnly | QFileDevice::ExeOwner;

// Replaces a file with `bytes`, with these permissions; fails the test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes,
               QFileDevice::Permissions mode = kOwnerOnly);

// A setting of the program's section as the settings file on disk holds it ("<absent>" when it
// holds none). The file is read through a copy: within one process the settings store keeps
// what it was asked to write even when the write failed, so reading the original would show
// that instead.
QString settingOnDisk(const QString& file, const QString& key);
