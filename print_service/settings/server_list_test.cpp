#include "settings/server_list.h"
#include "platform/gbk_text.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

QByteArray answer(const QByteArray& data) {
    QByteArray d;
    d += char(0x05);
    d += char(data.size() & 0xff);
    d += char((data.size() >> 8) & 0xff);
    return d + data;
}

QByteArray instance(const QByteArray& server, const QByteArray& name) {
    return "ServerName;" + server + ";InstanceName;" + name +
           ";IsClustered;No;Version;15.0.2000.5;tcp;1433;;";
}

// A resolution service on 127.0.0.1: waits for one request and sends its answers, in
// order, to whoever asked.
class LoopbackResponder {
  public:
    explicit LoopbackResponder(std::vector<QByteArray> answers) : answers_(std::move(answers)) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackResponder() {
        thread_.join();
        ::close(fd_);
    }
    quint16 port() const { return port_; }
    QByteArray request() const { return request_; }

  private:
    void serve() {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, 5000) != 1)
            return;
        char buffer[64];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        request_ = QByteArray(buffer, n > 0 ? qsizetype(n) : 0);
        for (const QByteArray& a : answers_)
            ::sendto(fd_, a.constData(), size_t(a.size()), 0, reinterpret_cast<sockaddr*>(&from),
                     length);
    }

    std::vector<QByteArray> answers_;
    int fd_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
    QByteArray request_;
};

TEST(ServerList, NamesFillInTheOrderTheAnswersArriveAndBadAnswersAreSkipped) {
    QByteArray truncated = answer(instance("CUT", "MSSQLSERVER"));
    truncated.chop(4);
    LoopbackResponder responder({
        answer(instance("KITCHEN-PC", "MSSQLSERVER")),
        answer("garbage without fields;;"),
        truncated,
        QByteArray("\x04\x05\x00hello", 8),
        answer(instance("LONG", QByteArray(300, 'x'))),
        answer(QByteArray(60000, ';')) + "tail",  // oversized for its length field
        answer(instance("FRONT", "POS") + instance("FRONT", "MSSQLSERVER")),
        answer(instance("kitchen-pc", "MSSQLSERVER")),  // the same server again
        answer(instance(encodeGbk(u"收银台"_s), "")),
    });
    const ServerListing listing = ListAvailableSQLServers({u"127.0.0.1"_s, responder.port()}, 1500);
    EXPECT_TRUE(listing.error.isEmpty());
    EXPECT_EQ(listing.names,
              (QStringList{u"KITCHEN-PC"_s, u"FRONT\\POS"_s, u"FRONT"_s, u"收银台"_s}));
    EXPECT_EQ(responder.request(), QByteArray(1, 0x02));
}

TEST(ServerList, TargetComesFromTheEnvironmentAndAnUnreadableOneSendsNothing) {
    const QByteArray saved = qgetenv("COOKHUB_SSRP_TARGET");
    struct Case {
        const char* text;
        bool valid;
    };
    for (const Case c :
         {Case{"127.0.0.1:1434", true}, Case{"127.0.0.1", false}, Case{"localhost:1434", false},
          Case{"127.0.0.1:0", false}, Case{"127.0.0.1:70000", false}, Case{"", false}}) {
        qputenv("COOKHUB_SSRP_TARGET", c.text);
        QString error;
        const auto target = ssrpTargetFromEnvironment(&error);
        EXPECT_EQ(target.has_value(), c.valid) << c.text;
        EXPECT_EQ(error.isEmpty(), c.valid) << c.text;
    }
    qputenv("COOKHUB_SSRP_TARGET", saved);
}

}  // namespace
