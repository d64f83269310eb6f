#include <gtest/gtest.h>

#include <vector>

#include "DaemonOptions.h"

namespace {

bool Parse(std::vector<const char*> args, DaemonOptions& options, std::string& error) {
    args.insert(args.begin(), "quondorveld");
    return ParseDaemonOptions(int(args.size()), args.data(), options, error);
}

TEST(DaemonOptions, TakesSharesAddressPortsAndTrace) {
    DaemonOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--share2", "/films", "--share4", "/music", "--address", "2", "--ports",
                       "1111,12049,11058", "--user", "nobody", "--charset", "CP949", "--trace"},
                      options, error))
        << error;
    EXPECT_EQ(options.user, "nobody");
    EXPECT_EQ(options.charset, "CP949");
    EXPECT_EQ(options.shares[0], "");
    EXPECT_EQ(options.shares[1], "/films");
    EXPECT_EQ(options.shares[3], "/music");
    EXPECT_EQ(options.address, "2");
    EXPECT_EQ(options.ports.portmap, 1111);
    EXPECT_EQ(options.ports.nfs, 12049);
    EXPECT_EQ(options.ports.mount, 11058);
    EXPECT_TRUE(options.trace);
    EXPECT_FALSE(options.help);
}

TEST(DaemonOptions, DefaultsToTheStandardPortsOnEveryAddress) {
    DaemonOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, options, error));
    EXPECT_EQ(options.address, "all");
    EXPECT_EQ(options.ports.portmap, 111);
    EXPECT_EQ(options.ports.nfs, 2049);
    EXPECT_EQ(options.ports.mount, 1058);
}

TEST(DaemonOptions, RefusesWhatItCannotUseAndSaysWhy) {
    const std::vector<std::vector<const char*>> bad = {
        {"--share5", "/x"},         {"--share1"},
        {"--ports", "111,2049"},    {"--ports", "1,2,3,4"},
        {"--ports", "0,2049,1058"}, {"--ports", "111,70000,1058"},
        {"--ports", "a,b,c"},       {"--bogus"},
        {"--share", "/x"},          {"--user"},
    };
    for (const auto& args : bad) {
        DaemonOptions options;
        std::string error;
        EXPECT_FALSE(Parse(args, options, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

// Raw bytes (empty) serve everywhere; a name iconv does not know is refused before the start.
TEST(DaemonOptions, ACharsetMustBeOneThePlatformCanUse) {
    EXPECT_FALSE(UseNameCharset("NO-SUCH-CHARSET"));
    EXPECT_TRUE(UseNameCharset(""));
}

TEST(DaemonOptions, HelpIsNoted) {
    DaemonOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--help"}, options, error));
    EXPECT_TRUE(options.help);
    EXPECT_NE(std::string(DaemonUsage()).find("--ports"), std::string::npos);
}

}  // namespace
