// The all-users shortcuts, loaded back through the shell-link objects.
#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

#include "records/install_records.h"
#include "tests/records/probes.h"
#include "tests/support/held_folder.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace records_test;
using test_support::file_exists;

constexpr char shell_folders_key[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        remove_shortcuts_from_system();
        install_folder = scratch.at("Quellmark Game");
        test_support::make_folders(install_folder + "\\bin\\client");
        test_support::write_file(client(), "client");
    }
    void TearDown() override { remove_shortcuts_from_system(); }

    static void remove_shortcuts_from_system() {
        DeleteFileA(desktop_shortcut().c_str());
        DeleteFileA(menu_shortcut().c_str());
        RemoveDirectoryA(menu_folder().c_str());
    }

    std::string client() const { return install_folder + "\\bin\\client\\Qm_client.exe"; }

    void expect_points_at_client(const std::string& path) const {
        const Shortcut shortcut = load_shortcut(path);
        ASSERT_TRUE(shortcut.loaded) << path;
        EXPECT_EQ(shortcut.target, client()) << path;
        EXPECT_EQ(shortcut.working_directory, install_folder) << path;
        EXPECT_EQ(shortcut.description, "Launch The Annals of Quellmark") << path;
        EXPECT_EQ(shortcut.arguments, "") << path;
    }

    test_support::ScratchFolder scratch;
    std::string install_folder;
};

TEST_F(Shortcuts, BothStartTheClientFromTheInstallFolder) {
    create_shortcuts(test_support::opened(install_folder));
    expect_points_at_client(desktop_shortcut());
    expect_points_at_client(menu_shortcut());
}

// Points the prefix's all-users desktop somewhere unusable for the owner's
// lifetime, and puts the real setting back whichever way the test ends.
class UnusableDesktop {
public:
    UnusableDesktop()
        // A folder below a plain file can neither be found nor created.
        : saved_(swap_expand_string(HKEY_LOCAL_MACHINE, shell_folders_key, "Common Desktop",
                                    "%SystemRoot%\\win.ini\\Desktop")) {}
    ~UnusableDesktop() {
        restore_value(HKEY_LOCAL_MACHINE, shell_folders_key, "Common Desktop", saved_);
    }
    UnusableDesktop(const UnusableDesktop&) = delete;
    UnusableDesktop& operator=(const UnusableDesktop&) = delete;
    bool was_set() const { return saved_.found; }

private:
    RegistryValue saved_;
};

TEST_F(Shortcuts, StartMenuShortcutIsMadeWhenTheDesktopCannotBeResolved) {
    const std::string real_desktop_shortcut = desktop_shortcut();
    {
        UnusableDesktop unusable;
        ASSERT_TRUE(unusable.was_set());
        ASSERT_TRUE(common_desktop().empty());
        create_shortcuts(test_support::opened(install_folder));
    }
    EXPECT_FALSE(common_desktop().empty());
    EXPECT_FALSE(file_exists(real_desktop_shortcut));
    expect_points_at_client(menu_shortcut());
}

TEST_F(Shortcuts, SavingIntoAMissingFolderFails) {
    const HRESULT com = CoInitialize(nullptr);
    EXPECT_FALSE(create_shortcut(scratch.at("missing\\x.lnk"), client(), install_folder));
    EXPECT_TRUE(create_shortcut(scratch.at("x.lnk"), client(), install_folder));
    if (SUCCEEDED(com)) CoUninitialize();
    expect_points_at_client(scratch.at("x.lnk"));
}

// A caller whose thread already lives in the multithreaded apartment keeps it.
TEST_F(Shortcuts, LeavesAnotherApartmentOfTheThreadInPlace) {
    APTTYPE type = APTTYPE_STA;
    HRESULT after = E_FAIL;
    std::thread caller([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        create_shortcuts(test_support::opened(install_folder));
        APTTYPEQUALIFIER qualifier;
        after = CoGetApartmentType(&type, &qualifier);
        if (SUCCEEDED(after)) CoUninitialize();
    });
    caller.join();
    EXPECT_EQ(after, S_OK);
    EXPECT_EQ(type, APTTYPE_MTA);
    expect_points_at_client(menu_shortcut());
}

}  // namespace
