#include <QCoreApplication>

#include <gtest/gtest.h>

// What ThreadSanitizer cannot see in the system's libraries, which are not built for it:
// - libcpp-httplib's worker threads hand data to each other through inline atomics, so its own
//   memcpy/memcmp calls look like races; calls made from inside that library are not checked.
// - glibc guards its time-zone state with internal locks that the sanitizer does not intercept,
//   so Qt's local-time conversions (mktime -> tzset) on two threads look like a race.
// Everything of ours is still checked.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libcpp-httplib.so\n"
           "race:tzset_internal\n";
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
