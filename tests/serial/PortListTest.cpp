// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "res/Strings.h"
#include "serial/CommPort.h"
#include "serial/PortErrorText.h"
#include "serial/PortList.h"

namespace {

namespace fs = std::filesystem;

const std::string kLinkLabel(res::LoadString(res::IDS_PORT_PC88_LINK));

std::vector<CPortEntry> ComEntries() {
    return {{"COM1", "COM1"}, {"COM2", "COM2"}, {"COM3", "COM3"}, {"COM4", "COM4"}};
}

// A folder of its own under the system's temporary folder, gone afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "relmuth-ports-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }
    fs::path Touch(const std::string& name) const {
        std::ofstream(m_path / name).put('x');
        return m_path / name;
    }

  private:
    fs::path m_path;
};

TEST(PortList, ComPortsFirstThenDevicesThenByIdNamesThenTheVirtualPc88) {
    EXPECT_EQ(BuildPortEntries({}, {}, ""), ComEntries());

    const std::vector<CSerialDeviceInfo> devices{
        {"ttyUSB10", "/dev/ttyUSB10", "CP2102 USB to UART Bridge Controller"},
        {"ttyS0", "/dev/ttyS0", ""}, // COM1 already
        {"ttyUSB2", "/dev/ttyUSB2", "FT232R USB UART"},
        {"ttyS4", "/dev/ttyS4", ""},
        {"ttyACM0", "/dev/ttyACM0", "USB Serial"},
        {"ttyUSB2", "/dev/ttyUSB2", "FT232R USB UART"}, // reported twice
        {"", "", "no device file"},
    };
    const std::vector<std::string> byId{"/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"};
    std::vector<CPortEntry> expected = ComEntries();
    expected.insert(expected.end(),
                    {
                        {"ttyACM0 \u2014 USB Serial", "/dev/ttyACM0"},
                        {"ttyS4", "/dev/ttyS4"},
                        {"ttyUSB2 \u2014 FT232R USB UART", "/dev/ttyUSB2"},
                        {"ttyUSB10 \u2014 CP2102 USB to UART Bridge Controller", "/dev/ttyUSB10"},
                        {byId[0], byId[0]},
                        {kLinkLabel, "/run/user/1000/relmuth-pc88.tty"},
                    });
    EXPECT_EQ(BuildPortEntries(devices, byId, "/run/user/1000/relmuth-pc88.tty"), expected);
}

TEST(PortList, ByIdNamesThatLeadNowhereAreLeftOut) {
    EXPECT_TRUE(ListSerialByIdPaths("/nonexistent/relmuth/by-id").empty());

    TempFolder devices, byId;
    const fs::path adapter = devices.Touch("ttyUSB0");
    fs::create_symlink(adapter, byId.Path() / "usb-Prolific_PL2303-if00-port0");
    fs::create_symlink(adapter, byId.Path() / "usb-FTDI_FT232R-if00-port0");
    fs::create_symlink(devices.Path() / "ttyUSB9", byId.Path() / "usb-Unplugged-if00-port0");
    EXPECT_EQ(ListSerialByIdPaths(byId.Path().string()),
              (std::vector<std::string>{
                  (byId.Path() / "usb-FTDI_FT232R-if00-port0").string(),
                  (byId.Path() / "usb-Prolific_PL2303-if00-port0").string(),
              }));
}

TEST(PortList, TheVirtualPc88IsOfferedWhileItsLinkLeadsToItsLine) {
    TempFolder runtime;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    const fs::path link = runtime.Path() / "relmuth-pc88.tty";
    const fs::path line = runtime.Touch("pts-stand-in");

    EXPECT_EQ(CurrentPortEntries({}).back().strName, "COM4"); // not running
    fs::create_symlink(line, link);
    EXPECT_EQ(CurrentPortEntries({}).back(), (CPortEntry{kLinkLabel, link.string()}));
    fs::remove(line); // it ended without removing its link
    EXPECT_EQ(CurrentPortEntries({}).back().strName, "COM4");

    if (saved)
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

// The settings dialog's box on OK: the selection while it shows its label,
// an entry named by its label, or anything else as typed.
TEST(PortList, TheBoxNamesTheSelectedEntryAnEntryByItsLabelOrWhatWasTyped) {
    const std::vector<CPortEntry> entries = {
        {"COM1", "COM1"}, {"COM2", "COM2"}, {"ttyUSB0 (FT232R)", "/dev/ttyUSB0"}};
    EXPECT_EQ(ChoosePort(entries, 1, "COM2"), (CPortChoice{1, ""}));
    EXPECT_EQ(ChoosePort(entries, 0, "ttyUSB0 (FT232R)"), (CPortChoice{2, ""}));
    EXPECT_EQ(ChoosePort(entries, 0, " /tmp/pc88.tty\t"), (CPortChoice{-1, "/tmp/pc88.tty"}));
    EXPECT_EQ(ChoosePort(entries, 0, "com12"), (CPortChoice{-1, "com12"}));
    EXPECT_EQ(ChoosePort(entries, 2, "  "), (CPortChoice{2, ""}));
    EXPECT_EQ(ChoosePort(entries, -1, ""), (CPortChoice{-1, ""}));
}

TEST(PortErrorText, TheReasonWithTheDialoutHintOnlyForAMissingPermission) {
    const std::string hint(res::LoadString(res::IDS_PORT_PERMISSION_HINT));
    ASSERT_NE(hint.find("dialout"), std::string::npos);

    EXPECT_EQ(PortOpenErrorDetail("COM1", {EACCES, "Permission denied"}),
              "COM1 (/dev/ttyS0): Permission denied\n\n" + hint);
    EXPECT_EQ(PortOpenErrorDetail("/dev/ttyUSB0", {EPERM, "Operation not permitted"}),
              "/dev/ttyUSB0: Operation not permitted\n\n" + hint);
    EXPECT_EQ(PortOpenErrorDetail("/dev/ttyUSB0", {ENOENT, "No such file or directory"}),
              "/dev/ttyUSB0: No such file or directory");
    EXPECT_EQ(PortOpenErrorDetail("COM3", {EBUSY, "Device or resource busy"}),
              "COM3 (/dev/ttyS2): Device or resource busy");
}

} // namespace
