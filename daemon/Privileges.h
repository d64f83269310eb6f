#pragma once

#include <cstdint>
#include <string>

// quondorveld needs root only to bind port 111. Serving the shares with root's rights would let
// anyone who can write into a share reach what only root may read; once the ports are bound it
// serves as the user it is told to. One implementation per platform (Privileges_posix.cpp,
// Privileges_win32.cpp).

// Makes the process (every thread of it) run as `user`, with that user's group and
// supplementary groups, for good, keeping of root's rights only the one to bind the ports again
// when a reload restarts sharing. False, with `error` saying why, when that cannot be done.
bool BecomeUser(const std::string& user, std::string& error);

// Whether the system lets this process bind `port`, so that a failed start can tell a port
// another program holds from one this user may not have.
bool MayBindPort(uint16_t port);
