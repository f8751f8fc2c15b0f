// A second process for the settings-file tests.
//   profile_writer keys <file> <prefix> <count>   writes <prefix><i>=<i> into section "keys"
//   profile_writer report <file> <count>          writes CLIC=1..count, each once the last was consumed
//   profile_writer churn <file>                   rewrites a large file until killed

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/profilefile.h"

int main(int argc, char** argv)
{
    using brunzit::ProfileFile;
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    const ProfileFile file(argv[2]);
    if (mode == "keys" && argc == 5) {
        ProfileFile::setSyncToDisk(false);
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            if (!file.write("keys", argv[3] + std::to_string(i), std::to_string(i)))
                return 1;
        }
        return 0;
    }
    if (mode == "report" && argc == 4) {
        ProfileFile::setSyncToDisk(false);
        const int count = std::atoi(argv[3]);
        for (int i = 1; i <= count;) {
            // Only the consumer turns a report into "0", so once "0" is
            // seen it stays until this process writes again.
            if (file.read("BrunzitMouseHook", "CLIC", "0", 50) == "0") {
                if (!file.write("BrunzitMouseHook", "CLIC", std::to_string(i)))
                    return 1;
                ++i;
            } else {
                ::usleep(100);
            }
        }
        return 0;
    }
    if (mode == "churn" && argc == 3) {
        for (unsigned long round = 0;; ++round) {
            const char fill = round % 2 ? 'A' : 'B';
            for (int i = 0; i < 300; i += 37)
                file.write("big", "k" + std::to_string(i), std::string(2000, fill));
        }
    }
    return 2;
}
