// The window tests run on a desktop of their own, with the program's language read as it reads
// it at start-up.
#include <gtest/gtest.h>

#include <cstdio>

#include "GuiSupport.h"
#include "Messages.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!apptest::JoinTestDesktop()) {
        std::fprintf(stderr, "no desktop for the window tests\n");
        return 1;
    }
    ReadLanguageChoice();
    LoadMessages();
    return RUN_ALL_TESTS();
}
