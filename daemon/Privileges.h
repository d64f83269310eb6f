#pragma once

#include <string>

// quondorveld needs root only to bind port 111. Serving the shares with root's rights would let
// anyone who can write into a share reach what only root may read; once the ports are bound it
// serves as the user it is told to. One implementation per platform (Privileges_posix.cpp,
// Privileges_win32.cpp).

// Makes the process (every thread of it) run as `user`, with that user's group and
// supplementary groups, for good. False, with `error` saying why, when that cannot be done.
bool BecomeUser(const std::string& user, std::string& error);
