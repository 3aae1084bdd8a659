// Opening a file to write without being led elsewhere. A run as root in a
// node directory that the mailer's group may write must not follow a
// symbolic link a member of that group put in its way: the run would
// write, create or cut a file the member could not touch. A link is
// followed only when it belongs to the run's user or to root, the rule the
// kernel applies in sticky directories, so the run's own links keep working.
#pragma once

#include <sys/types.h>

#include <string>

namespace rv {

// Why the run may not write through path: "a link owned by another user",
// or "DIR is a link owned by another user" for a directory on the way.
// Empty when it may; a name that cannot be looked at is no link.
[[nodiscard]] std::string linkRefusal(const std::string& path);

// open(2) of a file to write or to create: -1 with refusal set when
// linkRefusal refuses path, else open's result (refusal empty, errno set
// on failure). A name that is no link when looked at is opened without
// following one, so that a link put there meanwhile is not followed either.
[[nodiscard]] int openToWrite(const std::string& path, int flags, mode_t mode,
                              std::string& refusal);

}  // namespace rv
