// The list of SQL Servers on the network, by the SQL Server Resolution Protocol: one
// datagram 0x02 to UDP port 1434, then every answer that arrives within the wait, the
// names in the order the answers arrive.
//
// Where the datagram goes comes from COOKHUB_SSRP_TARGET ("a.b.c.d:port"); only when
// that is unset does it go to the broadcast 255.255.255.255:1434 of the local network.
// A target that cannot be read is an error, never a reason to broadcast. Answers that
// do not follow the protocol (wrong kind, length, oversized names) are skipped.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace cookhub {

struct SsrpTarget {
    QString address;  // dotted IPv4
    quint16 port = 1434;
};

// The target from the environment; nullopt (and `error`) when the setting is unreadable.
std::optional<SsrpTarget> ssrpTargetFromEnvironment(QString* error);

// The server names one answer carries ("SERVER", or "SERVER\INSTANCE" for a named
// instance), in its order; nullopt when the datagram is not a well-formed answer.
std::optional<QStringList> serverNamesFromAnswer(const QByteArray& datagram);

struct ServerListing {
    QStringList names;  // each name once, in the order found
    QString error;      // empty when the listing ran
};

// Sends the request to `target` and collects answers for `waitMilliseconds`.
ServerListing ListAvailableSQLServers(const SsrpTarget& target, int waitMilliseconds = 2000);

}  // namespace cookhub
