#include "Privileges.h"

// Windows binds low ports without administrator rights; the program runs as whoever starts it.
bool BecomeUser(const std::string& user, std::string& error) {
    error = "--user " + user + ": Windows runs the server as the user who starts it";
    return false;
}

bool MayBindPort(uint16_t) {
    return true;
}
