// The settings file reader and writer on arbitrary file contents: reads of
// the keys the monitor uses, then a write, which must leave a file in which
// the written value reads back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory where there is /dev/shm: every write is flushed to the disk.
    static const std::string file =
        std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/ini_fuzzer." +
        std::to_string(::getpid()) + ".ini";
    if (std::FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    platform::TIniFile ini(file);
    ini.ReadInteger("Zlg", "CanRate_channel0", 250000);
    ini.ReadString("Zlg", "CanMode_channel1", "");
    ini.ReadString("", "", "");
    if (ini.WriteInteger("Zlg", "CanRate_channel1", 125000) &&
        ini.ReadInteger("Zlg", "CanRate_channel1", 0) != 125000)
        __builtin_trap();
    return 0;
}
