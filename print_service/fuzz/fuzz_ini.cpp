// Fuzz target: a settings file of any bytes, read and written as the service does
// (the connection settings, the run parameters, a format folder's template list).
// Reading never fails; a value written reads back as written, whatever else the
// file holds.
#include "platform/ini_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory where there is such a folder: the writer syncs every file it saves.
    static const QTemporaryDir dir = QFile::exists(u"/dev/shm"_s)
                                         ? QTemporaryDir(u"/dev/shm/fuzz_ini-XXXXXX"_s)
                                         : QTemporaryDir();
    static const QString file = dir.path() + u"/Print.ini"_s;
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    for (const auto& [section, key] :
         {std::pair{u"PrintParam"_s, u"cd_stakeout_refresh"_s},
          std::pair{u"printparam"_s, u"WRITELOG"_s}, std::pair{u"Rmf"_s, u"dcd"_s},
          std::pair{u"branch_db"_s, u"Servername"_s}, std::pair{u"branch_db"_s, u"Logpass"_s}})
        (void)cookhub::ReadIniString(file, section, key);

    const QString value = u"报表\\80格式\\dcd.rmf"_s;
    if (cookhub::WriteIniValue(file, u"Rmf"_s, u"dcd"_s, value) &&
        cookhub::ReadIniString(file, u"Rmf"_s, u"dcd"_s) != value)
        std::abort();
    return 0;
}
