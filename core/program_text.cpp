#include "core/program_text.h"

#include <cerrno>
#include <cstring>

#include "core/format.h"

namespace rv {

void writeBanner(std::FILE* out, std::string_view program, std::string_view purpose) {
    std::fprintf(out,
                 "%.*s %.*s/%.*s - %.*s\n"
                 "FhMail, DVMmail, KittenMail, BinkleyTerm-XE, FrontDoor, InternetRex, BasicMail\n"
                 "%.*s\n\n",
                 static_cast<int>(program.size()), program.data(),
                 static_cast<int>(versionText.size()), versionText.data(),
                 static_cast<int>(platformTag.size()), platformTag.data(),
                 static_cast<int>(purpose.size()), purpose.data(),
                 static_cast<int>(creditLine.size()), creditLine.data());
}

ExitRequest unknownOption(std::string_view argument) {
    return failure(format("Unknown option or invalid value: %.*s\nUse -? or --help to help\n",
                          static_cast<int>(argument.size()), argument.data()));
}

ExitRequest configPathTooLong(std::string_view path) {
    return failure(format("Config file name too long (at most %zu characters): %.*s\n",
                          maxPathLength, static_cast<int>(path.size()), path.data()));
}

std::string cantOpen(std::string_view path, std::string_view reason) {
    return format("Can't open %.*s: %.*s\n", static_cast<int>(path.size()), path.data(),
                  static_cast<int>(reason.size()), reason.data());
}

int finishRun(const ExitRequest& request) {
    // A cron job must be able to trust status 0: what went to standard
    // output has to have arrived.
    errno = 0;
    bool failed = std::fflush(stdout) != 0;
    int reason = errno;
    if (!request.message.empty())
        std::fwrite(request.message.data(), 1, request.message.size(),
                    request.status == 0 ? stdout : stderr);
    if (!failed) {
        errno = 0;
        failed = std::fflush(stdout) != 0 || std::ferror(stdout);
        reason = errno;
    }
    if (failed)
        std::fprintf(stderr, "Can't write standard output: %s\n",
                     std::strerror(reason != 0 ? reason : EIO));
    std::fflush(stderr);
    return failed ? exitFailure : request.status;
}

}  // namespace rv
