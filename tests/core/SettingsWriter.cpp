// A program that saves settings for the tests of interrupted and failed saves:
//   settings_writer loop PATH         saves two large records in turn until killed, printing
//                                     "saved" after each save
//   settings_writer limited PATH N    saves a large record with files limited to N bytes; exit 0
//                                     when the save failed with an error
#include "core/SettingsFile.h"
#include "tests/core/SettingsWriterRecords.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 64;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (mode == QLatin1String("loop")) {
        const TConf records[2] = {LargeRecord(0), LargeRecord(1)};
        for (unsigned long i = 0;; ++i) {
            SettingsFile::Save(path, records[i % 2]);
            std::puts("saved");
            std::fflush(stdout);
        }
    }
    if (mode == QLatin1String("limited") && argc == 4) {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with an error instead of ending the process
        const rlimit limit{rlim_t(std::atol(argv[3])), rlim_t(std::atol(argv[3]))};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 65;
        try {
            SettingsFile::Save(path, LargeRecord(1));
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 0;
        }
        return 1;
    }
    return 64;
}
