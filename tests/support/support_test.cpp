// The test-support pieces themselves, against the real registry, real windows and real message boxes.
#include "list_host.h"
#include "message_box_recorder.h"
#include "registry_key.h"
#include "registry_sandbox.h"
#include "registry_tree.h"

#include <gtest/gtest.h>

TEST(RegistrySandbox, MapsLocalMachineOntoAScratchKeyAndRemovesIt)
{
    std::string scratch;
    {
        RegistrySandbox sandbox;
        scratch = sandbox.ScratchPath();
        WriteTree(HKEY_LOCAL_MACHINE, "Software\\Probe", RegistryTree().Dword("n", 7));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch + "\\Software\\Probe"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft")) << "HKLM is not sandboxed";
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft")) << "HKLM was not restored";
}

TEST(RegistryTree, ReadsBackExactlyWhatWasWritten)
{
    RegistrySandbox sandbox;
    const RegistryTree tree = RegistryTree()
                                  .String("CLSID", "{01234567-89AB-CDEF-0123-456789ABCDEF}")
                                  .Dword("Flags", 0x12345678)
                                  .Value("", REG_BINARY, std::string("\0\1\2", 3))
                                  .Subkey("Deep", RegistryTree().Subkey("Deeper", RegistryTree().String("x", "")));
    WriteTree(HKEY_LOCAL_MACHINE, "Software\\Tree", tree);
    EXPECT_EQ(tree, ReadTree(HKEY_LOCAL_MACHINE, "Software\\Tree"));
    EXPECT_NE(tree, ReadTree(HKEY_LOCAL_MACHINE, "Software\\Tree\\Deep"));
    EXPECT_EQ(RegistryTree(), ReadTree(HKEY_LOCAL_MACHINE, "Software\\Absent"));

    // Values of any size; names match as in the registry, whatever their case, while contents must not differ.
    const RegistryTree large = RegistryTree().Value("Large", REG_BINARY, std::string(200000, '\x5A'));
    WriteTree(HKEY_LOCAL_MACHINE, "Software\\Large", large);
    EXPECT_EQ(large, ReadTree(HKEY_LOCAL_MACHINE, "Software\\Large"));
    EXPECT_EQ(RegistryTree().Subkey("DEEP", tree.subkeys.at("Deep")).Value("clsid", REG_SZ, tree.values.at("CLSID").data),
              RegistryTree().Value("CLSID", REG_SZ, tree.values.at("CLSID").data).Subkey("deep", tree.subkeys.at("Deep")));
    EXPECT_NE(RegistryTree().Dword("Rate", 1), RegistryTree().Dword("rate", 2));
    EXPECT_NE(RegistryTree().Dword("Rate", 1), RegistryTree().Dword("Rates", 1));
}

TEST(MessageBoxRecorder, RecordsOwnerTitleAndTextAndClosesTheBox)
{
    ListHost host;
    MessageBoxRecorder recorder;
    EXPECT_EQ(IDOK, MessageBoxA(host.Window(), "first line\nsecond line", "Title", MB_OK));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "no owner", "Other", MB_OK | MB_ICONWARNING));
    const std::vector<RecordedBox> boxes = recorder.Take();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(host.Window(), boxes[0].owner);
    EXPECT_EQ("Title", boxes[0].title);
    EXPECT_EQ("first line\nsecond line", boxes[0].text);
    EXPECT_EQ(nullptr, boxes[1].owner);
    EXPECT_EQ("no owner", boxes[1].text);
    EXPECT_TRUE(recorder.Take().empty());
}

TEST(ListHost, SortsItemsAndReportsTheSelection)
{
    ListHost host;
    for (const char* name : {"Charlie", "alpha", "Bravo"})
        host.Add(kActiveList, name);
    host.Select(kActiveList, 2);
    EXPECT_EQ((std::vector<std::string>{"alpha", "Bravo", "Charlie"}), host.Items(kActiveList));
    EXPECT_EQ((std::vector<std::string>{"Charlie"}), host.SelectedItems(kActiveList));
    EXPECT_TRUE(host.Items(kHiddenList).empty());
}
