#include "server_list.h"

#include "platform/gbk_text.h"

#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

constexpr char kServerResponse = 0x05;
constexpr int kMaxNameBytes = 255;        // server and instance names, by the protocol
constexpr int kMaxNames = 1000;           // more is no list an operator can choose from
constexpr size_t kMaxAnswer = 3 + 65535;  // the type, the length field and its data

class Socket {
  public:
    Socket() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

bool plainText(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c == QChar::ReplacementCharacter)
            return false;
    }
    return true;
}

}  // namespace

std::optional<SsrpTarget> ssrpTargetFromEnvironment(QString* error) {
    if (!qEnvironmentVariableIsSet("COOKHUB_SSRP_TARGET"))
        return SsrpTarget{u"255.255.255.255"_s, 1434};
    const QString text = qEnvironmentVariable("COOKHUB_SSRP_TARGET").trimmed();
    const qsizetype colon = text.lastIndexOf(u':');
    bool portOk = false;
    const uint port = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&portOk);
    in_addr address{};
    const QByteArray host = text.left(colon < 0 ? 0 : colon).toLatin1();
    if (!portOk || port == 0 || port > 65535 ||
        ::inet_pton(AF_INET, host.constData(), &address) != 1) {
        if (error)
            *error = u"COOKHUB_SSRP_TARGET 应为 a.b.c.d:端口：%1"_s.arg(text);
        return std::nullopt;
    }
    return SsrpTarget{QString::fromLatin1(host), static_cast<quint16>(port)};
}

std::optional<QStringList> serverNamesFromAnswer(const QByteArray& datagram) {
    if (datagram.size() < 3 || datagram[0] != kServerResponse)
        return std::nullopt;
    const auto size = static_cast<qsizetype>(static_cast<quint8>(datagram[1]) |
                                             (static_cast<quint8>(datagram[2]) << 8));
    if (size != datagram.size() - 3)
        return std::nullopt;
    const QString data = decodeGbk(datagram.mid(3));
    if (!plainText(data))
        return std::nullopt;

    // Records follow each other as "ServerName;S;InstanceName;I;key;value;...;;"; an
    // empty value also makes ";;", so each record is found by its first key instead.
    const QStringList fields = data.split(u';');
    auto isKey = [&](qsizetype i, const QString& key) {
        return i < fields.size() && fields[i].compare(key, Qt::CaseInsensitive) == 0;
    };
    QStringList names;
    qsizetype i = 0;
    while (i < fields.size()) {
        if (!isKey(i, u"ServerName"_s) || !isKey(i + 2, u"InstanceName"_s) ||
            i + 3 >= fields.size())
            return std::nullopt;
        const QString server = fields[i + 1].trimmed();
        const QString instance = fields[i + 3].trimmed();
        if (server.isEmpty() || encodeGbk(server).size() > kMaxNameBytes ||
            encodeGbk(instance).size() > kMaxNameBytes)
            return std::nullopt;
        // The default instance is reached by the server's name alone.
        const bool named =
            !instance.isEmpty() && instance.compare(u"MSSQLSERVER"_s, Qt::CaseInsensitive) != 0;
        names << (named ? server + u'\\' + instance : server);
        i += 4;
        while (i < fields.size() && !isKey(i, u"ServerName"_s)) ++i;
    }
    if (names.isEmpty())
        return std::nullopt;
    return names;
}

ServerListing ListAvailableSQLServers(const SsrpTarget& target, int waitMilliseconds) {
    ServerListing listing;
    Socket socket;
    if (socket.fd() < 0) {
        listing.error = u"无法建立网络连接"_s;
        return listing;
    }
    const int on = 1;
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(target.port);
    const QByteArray host = target.address.toLatin1();
    if (::inet_pton(AF_INET, host.constData(), &to.sin_addr) != 1) {
        listing.error = u"服务器列表地址无效：%1"_s.arg(target.address);
        return listing;
    }
    const char request = 0x02;  // CLNT_BCAST_EX
    if (::sendto(socket.fd(), &request, 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) !=
        1) {
        listing.error = u"发送服务器查询失败"_s;
        return listing;
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMilliseconds);
    QByteArray buffer(static_cast<qsizetype>(kMaxAnswer), '\0');
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd waiting{socket.fd(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left));
        if (ready <= 0)
            continue;  // time-out ends the loop above; EINTR tries again
        // MSG_TRUNC gives the datagram's real length, so an oversized one is seen.
        const ssize_t length =
            ::recv(socket.fd(), buffer.data(), static_cast<size_t>(buffer.size()), MSG_TRUNC);
        if (length <= 0 || static_cast<size_t>(length) > kMaxAnswer)
            continue;
        const auto names = serverNamesFromAnswer(buffer.left(length));
        if (!names)
            continue;
        for (const QString& name : *names) {
            if (!listing.names.contains(name, Qt::CaseInsensitive) &&
                listing.names.size() < kMaxNames)
                listing.names << name;
        }
    }
    return listing;
}

}  // namespace cookhub
