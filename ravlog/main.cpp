// ravlog: the history utility. The program is its run with the standard
// streams and the single exit (ravlog/ravlog_run.h).
#include "ravlog/ravlog_run.h"

int main(int argc, char** argv) {
    return rv::ravlog::ravlogMain(argc, argv, nullptr);
}
