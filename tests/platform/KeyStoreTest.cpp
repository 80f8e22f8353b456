#include <gtest/gtest.h>

#include "platform/system/Files.h"
#include "platform/system/KeyStore.h"
#include "tests/support/TempDir.h"

namespace qv::sys {

TEST(KeyStoreTest, MissingFileKeyOrValueReadsAsNothing) {
    test::TempDir dir;
    TKeyStore store(dir / "registry.ini");
    EXPECT_FALSE(store.ReadString(kProgramKey, "Language"));
    dir.Write("registry.ini", "[Other]\nLanguage=DEU\n");
    EXPECT_FALSE(store.ReadString(kProgramKey, "Language"));
}

TEST(KeyStoreTest, WrittenValuesReadBackWithoutRegardToCase) {
    test::TempDir dir;
    TKeyStore store(dir / "registry.ini");
    ASSERT_TRUE(store.WriteString(kProgramKey, "Language", "FRA"));
    EXPECT_EQ(store.ReadString("hkey_local_machine\\software\\tollbeck\\quorvex", "LANGUAGE").value(), "FRA");
    EXPECT_EQ(ReadFileText(store.Path()).value(),
              "[HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex]\nLanguage=FRA\n");
}

TEST(KeyStoreTest, RewritingAValueKeepsEverythingElse) {
    test::TempDir dir;
    dir.Write("registry.ini",
              "; machine settings\r\n[First]\r\nA=1\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex]\r\n"
              "language = DEU\r\nOther=x\r\n\r\n[Last]\r\nB=2\r\n");
    TKeyStore store(dir / "registry.ini");
    EXPECT_EQ(store.ReadString(kProgramKey, "Language").value(), "DEU");
    ASSERT_TRUE(store.WriteString(kProgramKey, "Language", "ITA"));
    ASSERT_TRUE(store.WriteString(kProgramKey, "Added", "yes"));
    ASSERT_TRUE(store.WriteString("Last", "C", "3"));
    EXPECT_EQ(store.ReadString(kProgramKey, "Language").value(), "ITA");
    EXPECT_EQ(store.ReadString(kProgramKey, "Other").value(), "x");
    EXPECT_EQ(store.ReadString(kProgramKey, "Added").value(), "yes");
    EXPECT_EQ(store.ReadString("First", "A").value(), "1");
    EXPECT_EQ(store.ReadString("Last", "B").value(), "2");
    EXPECT_EQ(store.ReadString("Last", "C").value(), "3");
    EXPECT_EQ(ReadFileText(store.Path()).value().rfind("; machine settings", 0), 0u);
}

TEST(KeyStoreTest, ValuesThatWouldBreakTheFileAreRefused) {
    test::TempDir dir;
    TKeyStore store(dir / "registry.ini");
    EXPECT_FALSE(store.WriteString(kProgramKey, "Language", "ENU\n[Evil]"));
    EXPECT_FALSE(store.WriteString(kProgramKey, "a=b", "x"));
    EXPECT_FALSE(FileExists(store.Path()));
}

TEST(KeyStoreTest, WriteIntoAMissingFolderFails) {
    test::TempDir dir;
    EXPECT_FALSE(TKeyStore(dir / "none/registry.ini").WriteString(kProgramKey, "Language", "ENU"));
}

}  // namespace qv::sys
