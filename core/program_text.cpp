#include "core/program_text.h"

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

int finishRun(const ExitRequest& request) {
    std::FILE* stream = request.status == 0 ? stdout : stderr;
    std::fflush(stdout);
    if (!request.message.empty())
        std::fwrite(request.message.data(), 1, request.message.size(), stream);
    std::fflush(stdout);
    std::fflush(stderr);
    return request.status;
}

}  // namespace rv
