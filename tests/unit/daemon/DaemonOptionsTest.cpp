#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

// The settings file takes the command line's options by name in capitals; later lines win and
// an empty value is the default.
TEST(DaemonOptions, SettingsFileTakesTheOptionsByName) {
    DaemonOptions options;
    std::string error;
    ASSERT_TRUE(
        ParseDaemonSettings("# films\nSHARE1=/srv/a\n\n  SHARE3 = \"/srv/My Films\"\r\n"
                            "PORTS=1111,12049,11058\nADDRESS=2\nADDRESS=\n"
                            "CHARSET='CP949'\nTRACE=yes",
                            options, error))
        << error;
    EXPECT_EQ(options.shares[0], "/srv/a");
    EXPECT_EQ(options.shares[2], "/srv/My Films");
    EXPECT_EQ(options.ports.nfs, 12049);
    EXPECT_EQ(options.address, "all");
    EXPECT_EQ(options.charset, "CP949");
    EXPECT_TRUE(options.trace);
}

TEST(DaemonOptions, SettingsFileNamesTheLineItCannotUse) {
    const std::pair<const char*, const char*> bad[] = {
        {"SHARE1=/a\nSHARE2 /b", "line 2: wants NAME=value, not 'SHARE2 /b'"},
        {"share1=/a", "line 1: wants NAME=value, not 'share1=/a'"},
        {"=/a", "line 1: wants NAME=value, not '=/a'"},
        {"\n\nUSER=nobody", "line 3: unknown setting 'USER'"},
        {"CONFIG=/etc/x", "line 1: unknown setting 'CONFIG'"},
        {"SHARE5=/a", "line 1: unknown setting 'SHARE5'"},
        {"PORTS=111,2049",
         "line 1: PORTS wants three port numbers such as 111,2049,1058, "
         "not '111,2049'"},
        {"TRACE=on", "line 1: TRACE wants yes or no, not 'on'"},
        {"SHARE1=\"/srv/a", "line 1: SHARE1's value lacks its closing quote"},
    };
    for (const auto& [text, expected] : bad) {
        DaemonOptions options;
        std::string error;
        EXPECT_FALSE(ParseDaemonSettings(text, options, error)) << text;
        EXPECT_EQ(error, expected);
    }
}

TEST(DaemonOptions, TheCommandLineWinsOverItsSettingsFile) {
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("qdv-settings-" +
          std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
            .string();
    std::ofstream(path) << "SHARE1=/srv/a\nPORTS=1111,12049,11058\n";
    DaemonOptions options;
    std::string error;
    std::vector<const char*> args = {"quondorveld", "--ports", "1,2,3", "--config", path.c_str()};
    ASSERT_TRUE(LoadDaemonOptions(int(args.size()), args.data(), options, error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(options.shares[0], "/srv/a");
    EXPECT_EQ(options.ports.nfs, 2);
    EXPECT_FALSE(LoadDaemonOptions(int(args.size()), args.data(), options, error));
    EXPECT_EQ(error.find("cannot read the settings file '" + path + "'"), 0u) << error;
}

TEST(DaemonOptions, ChangesAreNamedOneALine) {
    DaemonOptions before, after;
    before.shares[0] = "/srv/a";
    before.shares[1] = "/srv/b";
    after.shares[0] = "/srv/c";
    after.shares[2] = "/srv/b";
    after.trace = true;
    EXPECT_EQ(DaemonOptionChanges(before, after),
              (std::vector<std::string>{
                  "/quonhd1 : /srv/c (was /srv/a)", "/quonhd2 : not shared (was /srv/b)",
                  "/quonhd3 : /srv/b (was not shared)", "trace : yes (was no)"}));
    EXPECT_TRUE(DaemonOptionChanges(after, after).empty());
}

TEST(DaemonOptions, HelpIsNoted) {
    DaemonOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--help"}, options, error));
    EXPECT_TRUE(options.help);
    EXPECT_NE(std::string(DaemonUsage()).find("--ports"), std::string::npos);
}

}  // namespace
