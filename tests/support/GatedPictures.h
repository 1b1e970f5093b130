#pragma once

#include "platform/desktop/FilePictures.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

// Pictures from files, except that reading a file held at the gate waits until the
// gate opens: a decode that is still under way when the user moves on.
class GatedPictures final : public PictureSource {
public:
    PictureRef load(const QString &path, QString *failure, const DrawnSize &drawnSize) override
    {
        {
            QMutexLocker lock(&m_lock);
            ++m_loads[path];
            // The user-interface thread never waits at the gate: it is only noted.
            if (QThread::currentThread() == QCoreApplication::instance()->thread())
                m_readOnUserThread.append(path);
            else {
                while (m_held.contains(path))
                    m_opened.wait(&m_lock);
            }
        }
        return m_files.load(path, failure, drawnSize);
    }
    // Files read on the user-interface thread, in order.
    QStringList readOnUserThread()
    {
        QMutexLocker lock(&m_lock);
        return m_readOnUserThread;
    }
    // How often path was read, on any thread.
    int loadsOf(const QString &path)
    {
        QMutexLocker lock(&m_lock);
        return m_loads.value(path);
    }
    void hold(const QString &path)
    {
        QMutexLocker lock(&m_lock);
        m_held.insert(path);
    }
    void openAll()
    {
        QMutexLocker lock(&m_lock);
        m_held.clear();
        m_opened.wakeAll();
    }

private:
    FilePictures m_files;
    QMutex m_lock;
    QWaitCondition m_opened;
    QSet<QString> m_held;
    QStringList m_readOnUserThread;
    QHash<QString, int> m_loads;
};
