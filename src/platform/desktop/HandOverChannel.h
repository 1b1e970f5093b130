#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

// The local socket on which a later start of the program hands the picture or folder
// it was given to the copy that runs. Only a peer of the same user is listened to or
// answered; a request is the path's bytes after a tag and their count, the answer one
// byte saying it was taken.
class HandOverChannel : public QObject {
    Q_OBJECT

public:
    // Longer than any path the system takes; a longer request is not read.
    static constexpr int kLongestPath = 64 * 1024;

    explicit HandOverChannel(const QString &socketPath);
    ~HandOverChannel() override;

    // Takes requests from now on, in place of a socket a crashed copy left behind:
    // only the copy holding the single-instance lock may call it. False when the
    // socket cannot be made.
    [[nodiscard]] bool listen();
    // Sends path and waits at most timeoutMs, in all, for the running copy to take it;
    // one that has only just started may not listen yet, and is asked again.
    [[nodiscard]] static bool send(const QString &socketPath, const QString &path, int timeoutMs);

Q_SIGNALS:
    void PathReceived(const QString &path);

private:
    void takeConnections();
    void readRequest(QLocalSocket &socket);

    QString m_socketPath;
    std::unique_ptr<QLocalServer> m_server;
};
