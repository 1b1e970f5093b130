#include "HandOverChannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray kTag = QByteArrayLiteral("QVH1");
constexpr int kHeaderSize = 8; // the tag, then the path's length as 32 bits, big-endian
const QByteArray kTaken = QByteArrayLiteral("T");
// A peer that does not finish its request in this time is dropped.
constexpr int kRequestTimeoutMs = 5000;

// Whether the process at the other end of a connected local socket is this user's. A
// socket in the shared temporary folder can be anybody's.
bool isOwnUser(qintptr descriptor)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::geteuid();
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(qMax<qint64>(deadline.remainingTime(), 0));
}

} // namespace

HandOverChannel::HandOverChannel(const QString &socketPath)
    : m_socketPath(socketPath), m_server(std::make_unique<QLocalServer>())
{
    connect(m_server.get(), &QLocalServer::newConnection, this, &HandOverChannel::takeConnections);
}

HandOverChannel::~HandOverChannel() = default;

bool HandOverChannel::listen()
{
    // A live copy holds the lock, so the socket can only be a crashed copy's.
    QLocalServer::removeServer(m_socketPath);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    return m_server->listen(m_socketPath);
}

void HandOverChannel::takeConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!isOwnUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(*socket); });
        QTimer::singleShot(kRequestTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        readRequest(*socket);
    }
}

void HandOverChannel::readRequest(QLocalSocket &socket)
{
    if (socket.bytesAvailable() < kHeaderSize)
        return;
    const QByteArray header = socket.peek(kHeaderSize);
    const quint32 length = qFromBigEndian<quint32>(header.constData() + kTag.size());
    if (!header.startsWith(kTag) || length == 0 || length > kLongestPath) {
        socket.abort();
        socket.deleteLater();
        return;
    }
    if (socket.bytesAvailable() < kHeaderSize + qint64(length))
        return;
    (void)socket.skip(kHeaderSize);
    const QByteArray bytes = socket.read(length);
    const QString path = QFile::decodeName(bytes);
    if (bytes.contains('\0') || !QDir::isAbsolutePath(path)) {
        socket.abort();
        socket.deleteLater();
        return;
    }
    socket.write(kTaken);
    socket.disconnectFromServer();
    Q_EMIT PathReceived(path);
}

bool HandOverChannel::send(const QString &socketPath, const QString &path, int timeoutMs)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.isEmpty() || bytes.size() > kLongestPath)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(remainingMs(deadline)))
            break;
        const QLocalSocket::LocalSocketError error = socket.error();
        socket.abort();
        const bool notListeningYet = error == QLocalSocket::ServerNotFoundError ||
                                     error == QLocalSocket::ConnectionRefusedError;
        if (!notListeningYet || deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    // Never tell another user's program which file this user opens.
    if (!isOwnUser(socket.socketDescriptor()))
        return false;
    QByteArray request = kTag + QByteArray(4, '\0') + bytes;
    qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), request.data() + kTag.size());
    socket.write(request);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remainingMs(deadline)))
            return false;
    }
    while (socket.bytesAvailable() < kTaken.size()) {
        if (!socket.waitForReadyRead(remainingMs(deadline)))
            return false;
    }
    return socket.read(kTaken.size()) == kTaken;
}
