#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/sysinfo/SysSource.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv::sysinfo {
namespace {

// A FIFO or a folder planted where a machine file should be reads as absent
// at once: the inventory never waits on a writer that does not come.
TEST(SysSourceTest, OnlyRegularFilesAreRead) {
    test::SysFixture fx;
    fx.Write("/etc/os-release", "NAME=x\n");
    const std::string fifo = fx.Source().PathOf("/etc/timezone");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const TSysSource& src = fx.Source();
    EXPECT_FALSE(src.ReadText("/etc/timezone"));
    EXPECT_EQ(src.ReadLine("/etc/timezone"), "");
    EXPECT_FALSE(src.ReadText("/etc"));
    EXPECT_EQ(src.ReadText("/etc/os-release").value(), "NAME=x\n");
}

TEST(SysSourceTest, ReadsAndResolvesInsideTheRoot) {
    test::SysFixture fx;
    fx.Write("/a/b/file", "first line  \nsecond\n");
    fx.Link("/a/rel", "b");
    fx.Link("/a/abs", "/a/b/file");
    fx.Link("/a/escape", "../../../../../../etc");
    fx.Link("/a/loop1", "loop2");
    fx.Link("/a/loop2", "loop1");
    const TSysSource& src = fx.Source();
    EXPECT_EQ(src.ReadLine("/a/b/file"), "first line");
    EXPECT_EQ(src.ReadText("a/b/file").value(), "first line  \nsecond\n");
    EXPECT_EQ(src.ReadText("/a/b/file", 5).value(), "first");
    EXPECT_FALSE(src.ReadText("/missing"));
    EXPECT_EQ(src.ReadLine("/missing"), "");
    EXPECT_EQ(src.ListDir("/a"), (std::vector<std::string>{"abs", "b", "escape", "loop1", "loop2", "rel"}));
    EXPECT_TRUE(src.ListDir("/missing").empty());
    EXPECT_EQ(src.Resolve("/a/rel/file").value(), "/a/b/file");
    EXPECT_EQ(src.Resolve("/a/abs").value(), "/a/b/file");
    EXPECT_EQ(src.Resolve("/a/b/../b/./file").value(), "/a/b/file");
    // A link climbing above the root stops at the root: the fixture has no /etc.
    EXPECT_FALSE(src.Resolve("/a/escape"));
    EXPECT_FALSE(src.Resolve("/a/loop1"));
    EXPECT_EQ(src.MachinePathOf(src.PathOf("/a/b")), "/a/b");
    EXPECT_EQ(src.PathOf("/../../etc/passwd"), src.Root() + "etc/passwd");
    EXPECT_EQ(src.PathOf("a/./b/../c"), src.Root() + "a/c");
    EXPECT_EQ(src.MachinePathOf("/elsewhere"), "");
}

TEST(SysParsersTest, ShellAssignments) {
    const auto values = ParseShellAssignments(
        "# comment\nNAME=\"Debian GNU/Linux\"\nID=debian\nQUOTED='it''s'\nESC=\"a\\\"b\"\n"
        "BAD KEY=1\nOPEN=\"never closed\n=novalue\nTRAIL=x # note\n");
    EXPECT_EQ(values.at("NAME"), "Debian GNU/Linux");
    EXPECT_EQ(values.at("ID"), "debian");
    EXPECT_EQ(values.at("QUOTED"), "its");
    EXPECT_EQ(values.at("ESC"), "a\"b");
    EXPECT_EQ(values.at("TRAIL"), "x");
    EXPECT_EQ(values.count("OPEN"), 0u);
    EXPECT_EQ(values.count("BAD KEY"), 0u);
    EXPECT_EQ(values.size(), 5u);
}

TEST(SysParsersTest, ColonNumbers) {
    const auto values = ParseColonNumbers(
        "MemTotal:       16318424 kB\nHugePages_Total:       0\nVmSize:\t  262144 kB\nName:\tquorvex\n"
        "Huge: 99999999999999999999 kB\nOverflow: 18014398509481984 kB\n:5\n");
    EXPECT_EQ(values.at("MemTotal"), 16318424ULL * 1024);
    EXPECT_EQ(values.at("HugePages_Total"), 0u);
    EXPECT_EQ(values.at("VmSize"), 262144ULL * 1024);
    EXPECT_EQ(values.count("Name"), 0u);
    EXPECT_EQ(values.count("Huge"), 0u);
    EXPECT_EQ(values.count("Overflow"), 0u);
    EXPECT_EQ(values.size(), 3u);
}

TEST(SysParsersTest, IniUdevAndAlsaCards) {
    const TIniSections ini = ParseIniText(
        "[Desktop Entry]\nExec=a %u\nExec=second\n# c\n[Default Applications]\n"
        "x-scheme-handler/http = web.desktop;\n[broken\nnoequals\n");
    EXPECT_EQ(ini.at("Desktop Entry").at("Exec"), "a %u");
    EXPECT_EQ(ini.at("Default Applications").at("x-scheme-handler/http"), "web.desktop;");

    const auto props = ParseUdevProperties("S:disk/by-id/x\nE:ID_PATH=pci-0000:00:1f.3\nE:=x\nE:NOVALUE\nI:123\n");
    EXPECT_EQ(props.size(), 1u);
    EXPECT_EQ(props.at("ID_PATH"), "pci-0000:00:1f.3");

    const std::vector<TAlsaCard> cards = ParseAlsaCards(
        " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
        "                      HDA Intel PCH at 0xf7f10000 irq 32\n"
        "12 [Device         ]: USB-Audio - USB Audio Device\n"
        "                      Generic USB Audio Device at usb-0000:00:14.0-2, full speed\n"
        "--- no soundcards ---\n");
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].Index, 0);
    EXPECT_EQ(cards[0].Id, "PCH");
    EXPECT_EQ(cards[0].Driver, "HDA-Intel");
    EXPECT_EQ(cards[0].ShortName, "HDA Intel PCH");
    EXPECT_EQ(cards[0].LongName, "HDA Intel PCH at 0xf7f10000 irq 32");
    EXPECT_EQ(cards[1].Index, 12);
    EXPECT_EQ(cards[1].LongName, "Generic USB Audio Device at usb-0000:00:14.0-2, full speed");
    EXPECT_TRUE(ParseAlsaCards("--- no soundcards ---\n").empty());
    // A card number the kernel never writes is skipped, with the line that would follow it.
    for (const char* absurd : {"1000 [X ]: D - S\n   long\n", "99999999999 [X ]: D - S\n   long\n"})
        EXPECT_TRUE(ParseAlsaCards(absurd).empty()) << absurd;
}

TEST(SysSourceTest, MachineSourceReadsThisMachine) {
    const TSysSource& machine = TSysSource::Machine();
    EXPECT_EQ(machine.Root(), "/");
    EXPECT_TRUE(machine.ReadText("/proc/meminfo").has_value());
    EXPECT_GT(machine.PageSize(), 0);
    EXPECT_TRUE(machine.StatFs("/").has_value());
    EXPECT_FALSE(machine.Environment().empty());
}

}  // namespace
}  // namespace qv::sysinfo
